// The spiral engine: gyrel.wasm, built from the engine's own C++ sources, and
// what the page reads through its exports (its memory, its texts, its
// settings table, its reading of a number).

// The module's exports once loadEngine has settled; every other module of the
// page reads the engine through this binding. The page holds one run of the
// engine's, and the calls that draw are bound to it here, so that the rest
// of the page calls them without it.
export let engine = null;

// The exports that take the page's run as their first argument.
const kRunCalls = new Set([
  'gyrel_text_buffer', 'gyrel_text_capacity', 'gyrel_decide_text', 'gyrel_decided_value',
  'gyrel_surface_init', 'gyrel_surface_resize', 'gyrel_width', 'gyrel_height',
  'gyrel_paint_builtin', 'gyrel_frame_buffer', 'gyrel_take_frame', 'gyrel_make_frame',
  'gyrel_set', 'gyrel_start', 'gyrel_stop', 'gyrel_draw', 'gyrel_render_calls',
  'gyrel_pace_start', 'gyrel_pace_due', 'gyrel_pace_wait_ms',
]);

export async function loadEngine() {
  const response = await fetch('gyrel.wasm');
  if (!response.ok) throw new Error(`gyrel.wasm: ${response.status} ${response.statusText}`);
  // The module asks for nothing of the system; should a library call ever
  // reach for one, it is told the call is not supported (ENOSYS).
  const noSystem = new Proxy({}, { get: () => () => 52 });
  const { instance } = await WebAssembly.instantiate(await response.arrayBuffer(),
                                                     { wasi_snapshot_preview1: noSystem });
  const exports = instance.exports;
  exports._initialize();
  const run = exports.gyrel_page_create();
  if (run === 0) throw new Error('There is not enough memory for the spiral.');
  engine = {};
  for (const [name, value] of Object.entries(exports)) {
    engine[name] = kRunCalls.has(name) ? (...args) => value(run, ...args) : value;
  }
}

// The module's memory as bytes. Take it afresh after any call into the
// engine: the memory's buffer is replaced whenever it grows.
export function bytes() { return new Uint8Array(engine.memory.buffer); }

function cString(pointer) {
  const memory = bytes();
  let end = pointer;
  while (memory[end] !== 0) end += 1;
  return new TextDecoder().decode(memory.subarray(pointer, end));
}

// The engine's own reading of a number, as the Options page reads a field:
// {action: 'ignore' | 'apply' | 'correct', value}.
export function decide(text, minimum, maximum, asField) {
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
export function settingRows() {
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
