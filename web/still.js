// Still frames: the last frame gyrel-render would write for the same seed,
// rate, seconds and size, pixel for pixel.

import { engine } from './engine.js';
import { canvas, cssPixelsPerDevicePixel, fail, nextSlice, params, setState } from './page.js';
import { present, sizeCanvas } from './pictures.js';
import { settingsFromAddress } from './settings.js';

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

export async function runStill(rows) {
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
  sizeCanvas(cssPixelsPerDevicePixel());
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
