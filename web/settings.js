// The six settings: read from the address, and the live page's panel that
// changes them while the spiral runs.

import { decide, engine } from './engine.js';
import { params } from './page.js';

// Each setting from the address: a number out of range becomes the nearest
// bound, as on the Options page; no number at all, the default. Returns the
// values by key and a note for each value that was not taken as it stood.
export function settingsFromAddress(rows) {
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

// The panel's fields, set up by wireSettings; only this module changes them.
const fields = new Map();  // key -> {setting, input}
const valuesInForce = {};  // key -> the value the spiral follows

// Keeps the look in the address, so that a link reproduces it.
function rememberSettings() {
  const kept = new URLSearchParams(window.location.search);
  for (const [key, value] of Object.entries(valuesInForce)) kept.set(key, String(value));
  window.history.replaceState(null, '', `${window.location.pathname}?${kept}`);
}

function applySetting(key, value) {
  const { setting, input } = fields.get(key);
  valuesInForce[key] = value;
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
  const { setting } = fields.get(input.dataset.key);
  const decision = decide(input.value, setting.minimum, setting.maximum, true);
  if (decision.action === 'ignore') return;
  applySetting(setting.key, decision.value);
  if (decision.action === 'correct') input.select();
}

// The panel's fields with their ranges and the values given (handed to the
// engine for the next spiral), the pace line, and the Default button.
export function wireSettings(rows, values, stepsPerSecond) {
  for (const setting of rows) {
    const input = document.querySelector(`input[data-key="${setting.key}"]`);
    input.min = String(setting.minimum);
    input.max = String(setting.maximum);
    input.value = String(values[setting.key]);
    input.addEventListener('input', onFieldInput);
    fields.set(setting.key, { setting, input });
    valuesInForce[setting.key] = values[setting.key];
    engine.gyrel_set(setting.row, values[setting.key]);
  }
  document.getElementById('default').addEventListener('click', () => {
    for (const setting of rows) applySetting(setting.key, setting.defaultValue);
  });
  document.getElementById('pace').textContent = stepsPerSecond > 0
    ? `${stepsPerSecond} steps a second` : 'As many steps a second as the browser allows';
}
