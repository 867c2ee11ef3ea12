// The page's answer when its modules cannot run at all: a browser without
// JavaScript modules, or modules that do not load (a page opened as a file,
// whose modules Chromium refuses; a server that sends them as something other
// than JavaScript). A classic script, so that it runs in all these cases; it
// tells the failure as the modules would (see page.js).
'use strict';

(function () {
  function fail(text) {
    document.body.className = 'failed';
    const message = document.getElementById('message');
    message.textContent = text;
    message.hidden = false;
    document.documentElement.dataset.gyrel = 'failed';
    document.dispatchEvent(new CustomEvent('gyrel:state', { detail: 'failed' }));
  }

  if (!('noModule' in HTMLScriptElement.prototype)) {
    fail('This browser cannot run JavaScript modules, which Gyrel needs to draw its spiral.\n' +
         'Any current version of Firefox, Chrome, Edge or Safari can.');
    return;
  }
  // A module that cannot be fetched is told to its <script> element, which
  // this listener sees on its way there (load errors do not bubble).
  window.addEventListener('error', (event) => {
    const script = event.target;
    if (!(script instanceof HTMLScriptElement) || script.type !== 'module') return;
    fail('The page\'s scripts (gyrel.js and the modules it imports) could not be loaded: a browser ' +
         'takes them only from a web server that sends them as JavaScript.\n' +
         'Serve the page\'s folder, for example: python3 -m http.server -d build/web');
  }, true);
}());
