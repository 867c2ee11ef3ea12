// Full screen, which ends as the saver ends: a key, a mouse button, or the
// pointer moved away from where it was when full screen began.

import { say } from './page.js';

let baseline = null;  // the pointer's screen position when full screen began

function leaveFullScreen() {
  if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
}

function onPointerMove(event) {
  if (!document.fullscreenElement) return;
  if (baseline === null) {
    baseline = { x: event.screenX, y: event.screenY };
  } else if (event.screenX !== baseline.x || event.screenY !== baseline.y) {
    leaveFullScreen();
  }
}

export function wireFullScreen() {
  const button = document.getElementById('fullscreen');
  if (!document.fullscreenEnabled) {
    button.disabled = true;
    button.title = 'This browser does not allow the page full screen.';
    return;
  }
  button.addEventListener('click', (event) => {
    // A click by the mouse says where the pointer is; a key does not, and
    // the first movement reported then sets the baseline.
    baseline = event.detail > 0 ? { x: event.screenX, y: event.screenY } : null;
    document.documentElement.requestFullscreen({ navigationUI: 'hide' }).catch(() => {
      say('The browser refused full screen.');
    });
  });
  document.addEventListener('fullscreenchange', () => {
    document.body.classList.toggle('full', Boolean(document.fullscreenElement));
  });
  document.addEventListener('keydown', () => leaveFullScreen(), true);
  document.addEventListener('mousedown', () => leaveFullScreen(), true);
  document.addEventListener('mousemove', onPointerMove, true);
}
