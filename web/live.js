// Live: the spiral on the whole window, in real time, at the saver's pace,
// with the settings panel, pictures of the user's own and full screen.

import { decide, engine } from './engine.js';
import { wireFullScreen } from './fullscreen.js';
import { canvas, fail, params, say, setState } from './page.js';
import { present, sizeCanvas, wirePictures } from './pictures.js';
import { settingsFromAddress, wireSettings } from './settings.js';

// Most milliseconds of drawing in one turn, and most real time one turn
// moves the wander's clock on by: after a stall the spiral goes on from the
// present (the engine's pace, too, starts afresh rather than catch up in a
// burst). However low the budget, the wander's clock moves on at least once
// a second. Without a budget, a turn asks for as many calls as its time
// allows.
const kTurnWorkMs = 10;
const kLongestTurnMs = 250;
const kLongestWaitMs = 1000;
const kAsManyAsFit = 0x7fffffff;

// All of the live page's own state: set by runLive, then changed only by the
// turns and by startSpiral (the page has one thread).
let budget = 0;       // steps a second; 0: as many as a turn's time allows
let seed = null;      // from the address, or the time at each start
let lastTime = null;  // the last turn's time; null: no turn is due (hidden)

// The step budget's rule is the engine's, as the saver and the hack keep it:
// the page only asks it how many draw calls are due, and how long to wait.
function startPace() {
  engine.gyrel_pace_start(budget);
}

// How long from `now` until the next turn: until the next call falls due,
// at most a second; null (the next display frame) without a budget.
function waitAt(now) {
  return budget > 0 ? Math.min(engine.gyrel_pace_wait_ms(now), kLongestWaitMs) : null;
}

function liveSeed() {
  return seed !== null ? seed : Math.floor(Date.now() / 1000) >>> 0;
}

function liveSurfaceSize() {
  const ratio = window.devicePixelRatio || 1;
  return [Math.max(1, Math.round(window.innerWidth * ratio)),
          Math.max(1, Math.round(window.innerHeight * ratio))];
}

// A spiral afresh on the surface's picture; false (and said) when there is
// no memory for it.
function startSpiral() {
  if (!engine.gyrel_start(liveSeed(), engine.gyrel_step_budget_default(), 0)) {
    fail('There is not enough memory for the spiral.');
    return false;
  }
  startPace();
  present();
  return true;
}

// The page wakes when the next draw call falls due (about 30 times a
// second at the default pace), not at every display frame: the spiral needs
// no more, and each wake costs the browser work. Without a budget it draws
// in every display frame. A hidden page does not draw at all.
function scheduleTurn(waitMs) {
  if (document.hidden) {
    lastTime = null;
    return;
  }
  if (waitMs !== null) {
    setTimeout(() => turn(performance.now()), waitMs);
  } else {
    window.requestAnimationFrame(turn);
  }
}

// The turns go on from the present: at the start, and when the page shows
// again.
function resumeTurns() {
  scheduleTurn(waitAt(performance.now()));
}

function turn(now) {
  try {
    scheduleTurn(drawTurn(now));
  } catch (error) {
    // A trap in the engine (out of memory, most likely) ends the drawing,
    // but not in silence.
    fail(`The spiral stopped: ${error.message}`);
  }
}

// The draw calls due now, then the wander's clock moved on by the real time
// since the last turn, as the saver's timers run beside its worker. Calls
// due but not made in the turn's time are not owed later. Returns the wait
// until the next turn.
function drawTurn(now) {
  const elapsed = lastTime === null ? 0 : Math.min(Math.max(now - lastTime, 0), kLongestTurnMs);
  lastTime = now;
  const calls = engine.gyrel_pace_due(now, kAsManyAsFit);
  const deadline = performance.now() + kTurnWorkMs;
  let made = 0;
  while (made < calls && performance.now() < deadline) {
    engine.gyrel_draw(1, 0);
    made += 1;
  }
  engine.gyrel_draw(0, elapsed);
  if (made > 0) present();
  return waitAt(now);
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

// The seed from the address; null (the time at each start, with a note) when
// it is no seed.
function seedFromAddress(notes) {
  if (!params.has('seed')) return null;
  const text = params.get('seed');
  const value = /^[0-9]+$/.test(text) ? Number(text) : NaN;
  if (value <= 4294967295) return value;
  notes.push(`seed=${text} is no whole number from 0 to 4294967295: the time is used.`);
  return null;
}

// The budget from the address, read as the saver reads StepsPerSecond: a
// number within its range (0: no budget), one outside it as its nearest
// bound, no number as the default (each with a note).
function budgetFromAddress(notes) {
  const fallback = engine.gyrel_step_budget_default();
  if (!params.has('StepsPerSecond')) return fallback;
  const text = params.get('StepsPerSecond');
  const minimum = engine.gyrel_step_budget_minimum();
  const maximum = engine.gyrel_step_budget_maximum();
  const decision = decide(text, minimum, maximum, false);
  if (decision.action === 'correct') {
    notes.push(`StepsPerSecond=${text} is out of range (${minimum} to ${maximum}): ${decision.value} is used.`);
  }
  if (decision.action !== 'ignore') return decision.value;
  notes.push(`StepsPerSecond=${text} is not a number: the default, ${fallback}, is used.`);
  return fallback;
}

export function runLive(rows) {
  document.body.className = 'live';
  const { values, notes } = settingsFromAddress(rows);
  seed = seedFromAddress(notes);
  budget = budgetFromAddress(notes);
  wireSettings(rows, values, budget);
  wirePictures(startSpiral);
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
    if (!document.hidden && lastTime === null) resumeTurns();
  });
  lastTime = performance.now();
  resumeTurns();
  setState('running');
}
