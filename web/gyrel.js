// Gyrel in the browser: the page around the spiral engine, which runs as
// WebAssembly (gyrel.wasm, built from the engine's own C++ sources).
//
// Three modes, chosen by the address:
//   index.html?...               live: the spiral on the whole window, in real
//                                time, with the settings, a picture of the
//                                user's own and full screen
//   index.html?...&still         the last frame gyrel-render would write for
//                                the same seed, rate, seconds and size
//   index.html?bench             how many steps a second the engine makes here
//
// The page tells its state on <html data-gyrel="...">: "running", "still",
// "bench" or "failed", and fires "gyrel:state" on the document when it changes,
// so that a test can wait for it.
'use strict';

(function () {
  const params = new URLSearchParams(window.location.search);
  const canvas = document.getElementById('spiral');
  const messageBox = document.getElementById('message');

  // What the user should know: a problem, or what became of their action.
  function say(text) {
    messageBox.textContent = text;
    messageBox.hidden = !text;
  }

  function setState(state) {
    document.documentElement.dataset.gyrel = state;
    document.dispatchEvent(new CustomEvent('gyrel:state', { detail: state }));
  }

  function fail(text) {
    document.body.className = 'failed';
    canvas.classList.remove('shown');
    document.getElementById('panel').hidden = true;
    say(text);
    setState('failed');
  }

  if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
    fail('This browser cannot run WebAssembly, which Gyrel needs to draw its spiral.\n' +
         'Any current version of Firefox, Chrome, Edge or Safari can.');
    return;
  }

  // ---- The engine ----

  let engine = null;

  async function loadEngine() {
    const response = await fetch('gyrel.wasm');
    if (!response.ok) throw new Error(`gyrel.wasm: ${response.status} ${response.statusText}`);
    // The module asks for nothing of the system; should a library call ever
    // reach for one, it is told the call is not supported (ENOSYS).
    const noSystem = new Proxy({}, { get: () => () => 52 });
    const { instance } = await WebAssembly.instantiate(await response.arrayBuffer(),
                                                       { wasi_snapshot_preview1: noSystem });
    instance.exports._initialize();
    return instance.exports;
  }

  function bytes() { return new Uint8Array(engine.memory.buffer); }

  function cString(pointer) {
    const memory = bytes();
    let end = pointer;
    while (memory[end] !== 0) end += 1;
    return new TextDecoder().decode(memory.subarray(pointer, end));
  }

  // The engine's own reading of a number, as the Options page reads a field:
  // {action: 'ignore' | 'apply' | 'correct', value}.
  function decide(text, minimum, maximum, asField) {
    const capacity = engine.gyrel_text_capacity();
    const encoded = new TextEncoder().encode(String(text)).subarray(0, capacity - 1);
    const memory = bytes();
    const buffer = engine.gyrel_text_buffer();
    memory.set(encoded, buffer);
    memory[buffer + encoded.length] = 0;
    const action = engine.gyrel_decide_text(minimum, maximum, asField ? 1 : 0);
    return { action: ['ignore', 'apply', 'correct'][action], value: engine.gyrel_decided_value() };
  }

  // The six settings as the engine declares them.
  function settingRows() {
    const rows = [];
    for (let row = 0; row < engine.gyrel_setting_count(); row += 1) {
      rows.push({
        row,
        key: cString(engine.gyrel_setting_key(row)),
        defaultValue: engine.gyrel_setting_default(row),
        minimum: engine.gyrel_setting_minimum(row),
        maximum: engine.gyrel_setting_maximum(row),
      });
    }
    return rows;
  }

  // Each setting from the address: a number out of range becomes the nearest
  // bound, as on the Options page; no number at all, the default. Returns the
  // values by key and a note for each value that was not taken as it stood.
  function settingsFromAddress(rows) {
    const values = {};
    const notes = [];
    for (const setting of rows) {
      values[setting.key] = setting.defaultValue;
      if (!params.has(setting.key)) continue;
      const text = params.get(setting.key);
      const decision = decide(text, setting.minimum, setting.maximum, false);
      if (decision.action === 'ignore') {
        notes.push(`${setting.key}=${text} is not a number: the default, ${setting.defaultValue}, is used.`);
      } else {
        values[setting.key] = decision.value;
        if (decision.action === 'correct') {
          notes.push(`${setting.key}=${text} is out of range (${setting.minimum} to ${setting.maximum}): ` +
                     `${decision.value} is used.`);
        }
      }
    }
    return { values, notes };
  }

  // ---- Pictures on the canvas ----

  let frameImage = null;

  function sizeCanvas(cssPixelsPerPixel) {
    const width = engine.gyrel_width();
    const height = engine.gyrel_height();
    canvas.width = width;
    canvas.height = height;
    if (cssPixelsPerPixel) {
      canvas.style.width = `${width * cssPixelsPerPixel}px`;
      canvas.style.height = `${height * cssPixelsPerPixel}px`;
    }
    frameImage = null;
  }

  // The engine's picture onto the canvas.
  function present() {
    const pointer = engine.gyrel_make_frame();
    const width = engine.gyrel_width();
    const height = engine.gyrel_height();
    // A view straight onto the module's memory: no copy on this side. The
    // memory's buffer is replaced whenever it grows.
    if (frameImage === null || frameImage.data.buffer !== engine.memory.buffer ||
        frameImage.data.byteOffset !== pointer || frameImage.width !== width ||
        frameImage.height !== height) {
      const view = new Uint8ClampedArray(engine.memory.buffer, pointer, width * height * 4);
      frameImage = new ImageData(view, width, height);
    }
    // Opaque: the browser composites it without blending.
    canvas.getContext('2d', { alpha: false }).putImageData(frameImage, 0, 0);
  }

  // A picture (an ImageBitmap, a video or an image) as the engine's start
  // picture: scaled to fill the surface without distortion, as a desktop
  // picture set to fill, its overflow cut off evenly on both sides.
  function takePicture(source, sourceWidth, sourceHeight) {
    const width = engine.gyrel_width();
    const height = engine.gyrel_height();
    const scale = Math.max(width / sourceWidth, height / sourceHeight);
    const cutWidth = Math.min(sourceWidth, width / scale);
    const cutHeight = Math.min(sourceHeight, height / scale);
    const scratch = document.createElement('canvas');
    scratch.width = width;
    scratch.height = height;
    const context = scratch.getContext('2d', { willReadFrequently: true });
    context.fillStyle = '#000';
    context.fillRect(0, 0, width, height);
    context.imageSmoothingQuality = 'high';
    context.drawImage(source, (sourceWidth - cutWidth) / 2, (sourceHeight - cutHeight) / 2, cutWidth,
                      cutHeight, 0, 0, width, height);
    const pixels = context.getImageData(0, 0, width, height).data;
    bytes().set(pixels, engine.gyrel_frame_buffer());
    engine.gyrel_take_frame();
  }

  // ---- Still frames: gyrel-render's, pixel for pixel ----

  function parseWhole(text, minimum, maximum) {
    if (!/^[0-9]+$/.test(text)) return null;
    const value = Number(text);
    return value >= minimum && value <= maximum ? value : null;
  }

  // gyrel-render's options and defaults; a value it would refuse is refused
  // here too, with the reason, instead of a picture.
  function stillOptions() {
    const problems = [];
    const take = (name, fallback, read, problem) => {
      if (!params.has(name)) return fallback;
      const value = read(params.get(name).trim());
      if (value === null) problems.push(problem);
      return value;
    };
    const maxSide = 4096;
    const seed = take('seed', 1, (t) => parseWhole(t, 0, 4294967295),
                      'seed must be a whole number from 0 to 4294967295.');
    const rate = take('rate', 20000, (t) => parseWhole(t, 1, 1000000000),
                      'rate must be a whole number of steps a second, 1 to 1000000000.');
    const seconds = take('seconds', 60, (t) => {
      if (!/^[0-9]*\.?[0-9]+$|^[0-9]+\.$/.test(t)) return null;
      const value = Number(t);
      return value >= 0 && value <= 1e7 ? value : null;
    }, 'seconds must be a time from 0 to 10000000.');
    const size = take('size', [800, 600], (t) => {
      const match = /^([0-9]+)x([0-9]+)$/.exec(t);
      if (!match) return null;
      const width = parseWhole(match[1], 1, maxSide);
      const height = parseWhole(match[2], 1, maxSide);
      return width !== null && height !== null ? [width, height] : null;
    }, `size must be WIDTHxHEIGHT, each 1 to ${maxSide}.`);
    return { seed, rate, seconds, size, problems };
  }

  // The work of a still frame or a benchmark goes in slices between which the
  // page stays responsive.
  function nextSlice() {
    return new Promise((resolve) => setTimeout(resolve, 0));
  }

  async function runStill(rows) {
    document.body.className = 'still';
    const options = stillOptions();
    if (options.problems.length > 0) {
      fail(`This still frame cannot be drawn: ${options.problems.join(' ')}`);
      return;
    }
    const [width, height] = options.size;
    engine.gyrel_surface_init(width, height);
    if (engine.gyrel_width() !== width || engine.gyrel_height() !== height) {
      fail(`This still frame cannot be drawn: ${width}x${height} is more than the page draws.`);
      return;
    }
    // One canvas pixel to one device pixel.
    sizeCanvas(1 / (window.devicePixelRatio || 1));
    engine.gyrel_paint_builtin();
    const { values } = settingsFromAddress(rows);
    for (const setting of rows) engine.gyrel_set(setting.row, values[setting.key]);
    if (!engine.gyrel_start(options.seed, options.rate, options.seconds)) {
      fail('There is not enough memory for the spiral.');
      return;
    }
    let left = engine.gyrel_render_calls(0);
    while (left > 0) {
      left = engine.gyrel_render_calls(200);
      document.title = `Gyrel: ${left} draw calls to go`;
      await nextSlice();
    }
    present();
    canvas.classList.add('shown');
    document.title = 'Gyrel';
    setState('still');
  }

  // ---- The benchmark ----

  async function runBench() {
    document.body.className = 'bench';
    const width = 800;
    const height = 600;
    const calls = 3000;
    const callsPerSlice = 50;
    engine.gyrel_surface_init(width, height);
    sizeCanvas(1 / (window.devicePixelRatio || 1));
    canvas.classList.add('shown');
    const result = document.getElementById('bench');
    result.hidden = false;
    result.style.top = `${height / (window.devicePixelRatio || 1)}px`;
    result.textContent = 'Measuring…';
    // As gyrel-engine-bench measures the native engine: the defaults, a
    // fixed seed, the wander held still (its clock never moves).
    engine.gyrel_paint_builtin();
    for (const setting of settingRows()) engine.gyrel_set(setting.row, setting.defaultValue);
    engine.gyrel_start(1996, 1000, 0);
    engine.gyrel_draw(1, 0);
    let seconds = 0;
    for (let done = 0; done < calls; done += callsPerSlice) {
      const start = performance.now();
      engine.gyrel_draw(callsPerSlice, 0);
      seconds += (performance.now() - start) / 1000;
      await nextSlice();
    }
    present();
    const steps = calls * engine.gyrel_steps_per_call();
    const perSecond = Math.round(steps / seconds);
    result.dataset.stepsPerSecond = String(perSecond);
    result.textContent = `The engine in this page: ${perSecond.toLocaleString('en')} steps a second at ` +
      `${width}x${height} (${steps.toLocaleString('en')} steps, default settings, wander held still).`;
    setState('bench');
  }

  // ---- Live ----

  const live = {
    budget: 0,            // steps a second; 0: as many as a frame holds
    owedSteps: 0,
    lastTime: null,
    clockCarry: 0,        // milliseconds of real time not yet given to the wander
    seed: null,           // from the address, or the time at each start
    inputs: new Map(),    // key -> {setting, input}
    values: {},           // key -> the value in force
    baseline: null,       // the pointer's screen position when full screen began
  };

  // Most milliseconds of drawing in one turn, and most real time one turn
  // makes up for: after a stall the spiral starts afresh from the present
  // instead of catching up in a burst. However low the budget, the wander's
  // clock moves on at least once a second.
  const kTurnWorkMs = 10;
  const kLongestTurnMs = 250;
  const kLongestWaitMs = 1000;

  function liveSeed() {
    return live.seed !== null ? live.seed : Math.floor(Date.now() / 1000) >>> 0;
  }

  function liveSurfaceSize() {
    const ratio = window.devicePixelRatio || 1;
    return [Math.max(1, Math.round(window.innerWidth * ratio)),
            Math.max(1, Math.round(window.innerHeight * ratio))];
  }

  function startSpiral() {
    if (!engine.gyrel_start(liveSeed(), engine.gyrel_step_budget_default(), 0)) {
      fail('There is not enough memory for the spiral.');
      return false;
    }
    live.owedSteps = 0;
    live.clockCarry = 0;
    present();
    return true;
  }

  // The page wakes when the next draw call falls due (about 30 times a
  // second at the default pace), not at every display frame: the spiral needs
  // no more, and each wake costs the browser work. Without a budget it draws
  // in every display frame. A hidden page does not draw at all.
  function scheduleTurn() {
    if (document.hidden) {
      live.lastTime = null;
      return;
    }
    if (live.budget > 0) {
      const stepsDue = engine.gyrel_steps_per_call() - live.owedSteps;
      const waitMs = Math.min(Math.max(stepsDue * 1000 / live.budget, 0), kLongestWaitMs);
      setTimeout(() => turn(performance.now()), waitMs);
    } else {
      window.requestAnimationFrame(turn);
    }
  }

  function turn(now) {
    try {
      drawTurn(now);
      scheduleTurn();
    } catch (error) {
      // A trap in the engine (out of memory, most likely) ends the drawing,
      // but not in silence.
      fail(`The spiral stopped: ${error.message}`);
    }
  }

  // The draw calls due since the last turn, then the wander's clock moved on
  // by the same real time, as the saver's timers run beside its worker.
  function drawTurn(now) {
    const elapsed = live.lastTime === null ? 0 : Math.min(Math.max(now - live.lastTime, 0), kLongestTurnMs);
    live.lastTime = now;
    const stepsPerCall = engine.gyrel_steps_per_call();
    let calls = Infinity;
    if (live.budget > 0) {
      live.owedSteps += elapsed * live.budget / 1000;
      calls = Math.floor(live.owedSteps / stepsPerCall);
      live.owedSteps -= calls * stepsPerCall;
    }
    const deadline = performance.now() + kTurnWorkMs;
    let made = 0;
    while (made < calls && performance.now() < deadline) {
      engine.gyrel_draw(1, 0);
      made += 1;
    }
    if (made < calls && calls !== Infinity) live.owedSteps = 0;  // behind: start afresh
    live.clockCarry += elapsed;
    const milliseconds = Math.floor(live.clockCarry);
    live.clockCarry -= milliseconds;
    engine.gyrel_draw(0, milliseconds);
    if (made > 0) present();
  }

  // Keeps the look in the address, so that a link reproduces it.
  function rememberSettings() {
    const kept = new URLSearchParams(window.location.search);
    for (const [key, value] of Object.entries(live.values)) kept.set(key, String(value));
    window.history.replaceState(null, '', `${window.location.pathname}?${kept}`);
  }

  function applySetting(key, value) {
    const { setting, input } = live.inputs.get(key);
    live.values[key] = value;
    engine.gyrel_set(setting.row, value);
    if (input.value !== String(value)) input.value = String(value);
    rememberSettings();
  }

  // A field's text, read as the Options page reads its edit fields: at most
  // nine characters, a number taken from their start, applied at once when in
  // range, replaced by the nearest bound (and selected, so that the next key
  // replaces it) when not; no number, no change.
  function onFieldInput(event) {
    const input = event.target;
    const { setting } = live.inputs.get(input.dataset.key);
    const decision = decide(input.value, setting.minimum, setting.maximum, true);
    if (decision.action === 'ignore') return;
    applySetting(setting.key, decision.value);
    if (decision.action === 'correct') input.select();
  }

  async function pictureFromFile(file) {
    const name = file.name || 'the picture';
    let bitmap;
    try {
      bitmap = await createImageBitmap(file);
    } catch (error) {
      say(`"${name}" cannot be read as a picture by this browser; the spiral goes on with its picture.`);
      return;
    }
    const { width, height } = bitmap;
    takePicture(bitmap, width, height);
    bitmap.close();
    if (!startSpiral()) return;
    const surface = `${engine.gyrel_width()}x${engine.gyrel_height()}`;
    const scaled = width > engine.gyrel_width() || height > engine.gyrel_height()
      ? `, scaled down to ${surface}` : '';
    say(`The spiral starts from "${name}" (${width}x${height}${scaled}).`);
  }

  async function captureScreen() {
    if (!navigator.mediaDevices || !navigator.mediaDevices.getDisplayMedia) {
      say('This browser cannot share a screen with a page.');
      return;
    }
    let stream;
    try {
      stream = await navigator.mediaDevices.getDisplayMedia({ video: true, audio: false });
    } catch (error) {
      say('No screen was shared; the spiral goes on with its picture.');
      return;
    }
    const video = document.createElement('video');
    video.muted = true;
    video.srcObject = stream;
    try {
      await video.play();
      // The first frame; a stream that never shows one is given up.
      if (video.readyState < video.HAVE_CURRENT_DATA) {
        await new Promise((resolve, reject) => {
          video.addEventListener('loadeddata', resolve, { once: true });
          setTimeout(() => reject(new Error('no frame')), 10000);
        });
      }
      takePicture(video, video.videoWidth, video.videoHeight);
    } catch (error) {
      say('The shared screen could not be read; the spiral goes on with its picture.');
      return;
    } finally {
      for (const track of stream.getTracks()) track.stop();
    }
    if (startSpiral()) say('The spiral starts from the shared screen.');
  }

  // Full screen ends as the saver ends: a key, a mouse button, or the pointer
  // moved away from where it was when full screen began.
  function leaveFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
  }

  function onPointerMove(event) {
    if (!document.fullscreenElement) return;
    if (live.baseline === null) {
      live.baseline = { x: event.screenX, y: event.screenY };
    } else if (event.screenX !== live.baseline.x || event.screenY !== live.baseline.y) {
      leaveFullScreen();
    }
  }

  function wireFullScreen() {
    const button = document.getElementById('fullscreen');
    if (!document.fullscreenEnabled) {
      button.disabled = true;
      button.title = 'This browser does not allow the page full screen.';
      return;
    }
    button.addEventListener('click', (event) => {
      // A click by the mouse says where the pointer is; a key does not, and
      // the first movement reported then sets the baseline.
      live.baseline = event.detail > 0 ? { x: event.screenX, y: event.screenY } : null;
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

  function wirePictures() {
    const fileInput = document.getElementById('file');
    document.getElementById('open').addEventListener('click', () => fileInput.click());
    fileInput.addEventListener('change', () => {
      if (fileInput.files.length > 0) pictureFromFile(fileInput.files[0]);
      fileInput.value = '';
    });
    const capture = document.getElementById('capture');
    if (!navigator.mediaDevices || !navigator.mediaDevices.getDisplayMedia) {
      capture.disabled = true;
      capture.title = 'This browser cannot share a screen with a page.';
    }
    capture.addEventListener('click', captureScreen);
    window.addEventListener('dragover', (event) => {
      event.preventDefault();
      document.body.classList.add('dragging');
    });
    window.addEventListener('dragleave', () => document.body.classList.remove('dragging'));
    window.addEventListener('drop', (event) => {
      event.preventDefault();
      document.body.classList.remove('dragging');
      const files = event.dataTransfer ? event.dataTransfer.files : [];
      if (files.length > 0) {
        pictureFromFile(files[0]);
      } else {
        say('Only a picture file can be dropped here.');
      }
    });
  }

  function wireResize() {
    let pending = null;
    window.addEventListener('resize', () => {
      clearTimeout(pending);
      pending = setTimeout(() => {
        const [width, height] = liveSurfaceSize();
        engine.gyrel_surface_resize(width, height);
        sizeCanvas(0);
        present();
      }, 150);
    });
  }

  function runLive(rows) {
    document.body.className = 'live';
    const { values, notes } = settingsFromAddress(rows);
    if (params.has('seed')) {
      const seed = /^[0-9]+$/.test(params.get('seed')) ? Number(params.get('seed')) : NaN;
      if (seed <= 4294967295) {
        live.seed = seed;
      } else {
        notes.push(`seed=${params.get('seed')} is no whole number from 0 to 4294967295: the time is used.`);
      }
    }
    live.budget = engine.gyrel_step_budget_default();
    if (params.has('StepsPerSecond')) {
      // As the saver reads its budget: any number, none below 0 (no budget).
      const text = params.get('StepsPerSecond');
      const decision = decide(text, 0, 2147483647, false);
      if (decision.action === 'ignore') {
        notes.push(`StepsPerSecond=${text} is not a number: the default, ${live.budget}, is used.`);
      } else {
        live.budget = decision.value;
      }
    }
    document.getElementById('pace').textContent = live.budget > 0
      ? `${live.budget} steps a second` : 'As many steps a second as the browser allows';

    for (const setting of rows) {
      const input = document.querySelector(`input[data-key="${setting.key}"]`);
      input.min = String(setting.minimum);
      input.max = String(setting.maximum);
      input.value = String(values[setting.key]);
      input.addEventListener('input', onFieldInput);
      live.inputs.set(setting.key, { setting, input });
      live.values[setting.key] = values[setting.key];
      engine.gyrel_set(setting.row, values[setting.key]);
    }
    document.getElementById('default').addEventListener('click', () => {
      for (const setting of rows) applySetting(setting.key, setting.defaultValue);
    });
    wirePictures();
    wireFullScreen();
    wireResize();

    const [width, height] = liveSurfaceSize();
    engine.gyrel_surface_init(width, height);
    sizeCanvas(0);
    engine.gyrel_paint_builtin();
    if (!startSpiral()) return;
    canvas.classList.add('shown');
    document.getElementById('panel').hidden = false;
    say(notes.join('\n'));
    document.addEventListener('visibilitychange', () => {
      if (!document.hidden && live.lastTime === null) scheduleTurn();
    });
    live.lastTime = performance.now();
    scheduleTurn();
    setState('running');
  }

  async function main() {
    try {
      engine = await loadEngine();
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
        await runBench();
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
}());
