// What every mode of the page shares: the address, the canvas, the message
// line, and the page's state.
//
// The page tells its state on <html data-gyrel="...">: "running", "still",
// "bench" or "failed", and fires "gyrel:state" on the document when it changes,
// so that a test can wait for it. (unserved.js tells "failed" the same way
// when these modules cannot load at all.)

export const params = new URLSearchParams(window.location.search);
export const canvas = document.getElementById('spiral');
const messageBox = document.getElementById('message');

// What the user should know: a problem, or what became of their action.
export function say(text) {
  messageBox.textContent = text;
  messageBox.hidden = !text;
}

export function setState(state) {
  document.documentElement.dataset.gyrel = state;
  document.dispatchEvent(new CustomEvent('gyrel:state', { detail: state }));
}

export function fail(text) {
  document.body.className = 'failed';
  canvas.classList.remove('shown');
  document.getElementById('panel').hidden = true;
  say(text);
  setState('failed');
}

// The work of a still frame or a benchmark goes in slices between which the
// page stays responsive.
export function nextSlice() {
  return new Promise((resolve) => setTimeout(resolve, 0));
}

// One canvas pixel to one device pixel, for the still frame and the benchmark.
export function cssPixelsPerDevicePixel() {
  return 1 / (window.devicePixelRatio || 1);
}
