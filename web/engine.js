// The spiral engine: gyrel.wasm, built from the engine's own C++ sources, and
// what the page reads through its exports (its memory, its texts, its
// settings table, its reading of a number).

// The module's exports once loadEngine has settled; every other module of the
// page reads the engine through this binding.
export let engine = null;

export async function loadEngine() {
  const response = await fetch('gyrel.wasm');
  if (!response.ok) throw new Error(`gyrel.wasm: ${response.status} ${response.statusText}`);
  // The module asks for nothing of the system; should a library call ever
  // reach for one, it is told the call is not supported (ENOSYS).
  const noSystem = new Proxy({}, { get: () => () => 52 });
  const { instance } = await WebAssembly.instantiate(await response.arrayBuffer(),
                                                     { wasi_snapshot_preview1: noSystem });
  instance.exports._initialize();
  engine = instance.exports;
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
