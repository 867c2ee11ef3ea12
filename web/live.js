// Live: the spiral on the whole window, in real time, at the saver's pace,
// with the settings panel, pictures of the user's own and full screen.

import { decide, engine } from './engine.js';
import { wireFullScreen } from './fullscreen.js';
import { canvas, fail, params, say, setState } from './page.js';
import { present, sizeCanvas, wirePictures } from './pictures.js';
import { settingsFromAddress, wireSettings } from './settings.js';

// Most milliseconds of drawing in one turn, and most real time one turn
// makes up for: after a stall the spiral starts afresh from the present
// instead of catching up in a burst. However low the budget, the wander's
// clock moves on at least once a second.
const kTurnWorkMs = 10;
const kLongestTurnMs = 250;
const kLongestWaitMs = 1000;

// All of the live page's own state: set by runLive, then changed only by the
// turns and by startSpiral (the page has one thread).
let budget = 0;       // steps a second; 0: as many as a turn's time allows
let seed = null;      // from the address, or the time at each start
let pace = null;      // what the pacing carries from one turn to the next
let lastTime = null;  // the last turn's time; null: no turn is due (hidden)

function makePace(stepsPerSecond) {
  return { stepsPerSecond, owedSteps: 0, clockCarry: 0 };
}

// The pacing rule, all of it. For elapsedMs of real time since the last turn:
// the draw calls due now (Infinity: as many as the turn's time allows), the
// whole milliseconds the wander's clock moves on (as the saver's timers run
// beside its worker), and how long until the next call falls due (null: at
// the next display frame). Calls due but not made in the turn are not owed
// later.
function paceTurn(state, elapsedMs) {
  const elapsed = Math.min(Math.max(elapsedMs, 0), kLongestTurnMs);
  let calls = Infinity;
  let waitMs = null;
  if (state.stepsPerSecond > 0) {
    const stepsPerCall = engine.gyrel_steps_per_call();
    state.owedSteps += elapsed * state.stepsPerSecond / 1000;
    calls = Math.floor(state.owedSteps / stepsPerCall);
    state.owedSteps -= calls * stepsPerCall;
    const stepsDue = stepsPerCall - state.owedSteps;
    waitMs = Math.min(Math.max(stepsDue * 1000 / state.stepsPerSecond, 0), kLongestWaitMs);
  }
  state.clockCarry += elapsed;
  const milliseconds = Math.floor(state.clockCarry);
  state.clockCarry -= milliseconds;
  return { calls, milliseconds, waitMs };
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
  pace = makePace(budget);
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
// again. No real time has passed for the spiral, so nothing is due yet.
function resumeTurns() {
  scheduleTurn(paceTurn(pace, 0).waitMs);
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

// The draw calls due since the last turn, then the wander's clock moved on
// by the same real time, as the saver's timers run beside its worker.
// Returns the wait until the next turn.
function drawTurn(now) {
  const due = paceTurn(pace, lastTime === null ? 0 : now - lastTime);
  lastTime = now;
  const deadline = performance.now() + kTurnWorkMs;
  let made = 0;
  while (made < due.calls && performance.now() < deadline) {
    engine.gyrel_draw(1, 0);
    made += 1;
  }
  engine.gyrel_draw(0, due.milliseconds);
  if (made > 0) present();
  return due.waitMs;
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

// The budget from the address, read as the saver reads StepsPerSecond: any
// number, none below 0 (no budget); no number, the default (with a note).
function budgetFromAddress(notes) {
  const fallback = engine.gyrel_step_budget_default();
  if (!params.has('StepsPerSecond')) return fallback;
  const text = params.get('StepsPerSecond');
  const decision = decide(text, 0, 2147483647, false);
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
