// The benchmark: how many steps a second the engine makes in this page.

import { engine } from './engine.js';
import { canvas, cssPixelsPerDevicePixel, fail, nextSlice, setState } from './page.js';
import { present, sizeCanvas } from './pictures.js';

export async function runBench(rows) {
  document.body.className = 'bench';
  const width = 800;
  const height = 600;
  const calls = 3000;
  const callsPerSlice = 50;
  engine.gyrel_surface_init(width, height);
  sizeCanvas(cssPixelsPerDevicePixel());
  canvas.classList.add('shown');
  const result = document.getElementById('bench');
  result.hidden = false;
  result.style.top = `${height * cssPixelsPerDevicePixel()}px`;
  result.textContent = 'Measuring…';
  // As gyrel-engine-bench measures the native engine: the defaults, a
  // fixed seed, the wander held still (its clock never moves).
  engine.gyrel_paint_builtin();
  for (const setting of rows) engine.gyrel_set(setting.row, setting.defaultValue);
  if (!engine.gyrel_start(1996, 1000, 0)) {
    fail('There is not enough memory for the spiral.');
    return;
  }
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
