// Gyrel in the browser: the page around the spiral engine, which runs as
// WebAssembly (gyrel.wasm, built from the engine's own C++ sources).
//
// Three modes, chosen by the address:
//   index.html?...               live: the spiral on the whole window, in real
//                                time, with the settings, a picture of the
//                                user's own and full screen (live.js)
//   index.html?...&still         the last frame gyrel-render would write for
//                                the same seed, rate, seconds and size (still.js)
//   index.html?bench             how many steps a second the engine makes here
//                                (bench.js)
//
// The page's modules are plain ES modules, served as they are beside
// index.html; unserved.js speaks for the page when they cannot load.

import { runBench } from './bench.js';
import { loadEngine, settingRows } from './engine.js';
import { runLive } from './live.js';
import { fail, params } from './page.js';
import { runStill } from './still.js';

async function main() {
  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('This browser cannot run WebAssembly, which Gyrel needs to draw its spiral.\n' +
         'Any current version of Firefox, Chrome, Edge or Safari can.');
    return;
  }
  try {
    await loadEngine();
  } catch (error) {
    fail(`The spiral engine (gyrel.wasm) could not be loaded: ${error.message}\n` +
         'Open the page from a web server, for example: python3 -m http.server -d build/web');
    return;
  }
  try {
    const rows = settingRows();
    if (params.has('still')) {
      await runStill(rows);
    } else if (params.has('bench')) {
      await runBench(rows);
    } else {
      runLive(rows);
    }
  } catch (error) {
    // A trap in the engine (out of memory, most likely) ends the page's
    // drawing, but not in silence.
    fail(`The spiral stopped: ${error.message}`);
  }
}

main();
