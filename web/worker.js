// The worker's loop, inside lkmWorkerMain beside the engine: one request at a
// time, answered with the request's id. The executable is read range by range,
// from the bytes given or, synchronously, from the chosen File. The buffer that
// brought the bytes goes back with the answer, for the next request.
const engineLoaded = createLkmEngine();

function sourceOf(request) {
  if (request.file) {
    const reader = new FileReaderSync();
    const file = request.file;
    return {
      size: file.size,
      read: (offset, length) => new Uint8Array(reader.readAsArrayBuffer(file.slice(offset, offset + length))),
    };
  }
  const bytes = request.bytes || new Uint8Array(0);
  return {size: bytes.length, read: (offset, length) => bytes.subarray(offset, offset + length)};
}

// A text in the engine's memory: UTF-8, or the UTF-16 units in which the INI's
// values reach the plug-in on Windows.
function utf8(engine, text) {
  const size = engine.lengthBytesUTF8(text) + 1;
  const pointer = engine._malloc(size);
  engine.stringToUTF8(text, pointer, size);
  return pointer;
}

function utf16(engine, text) {
  const pointer = engine._malloc((text.length + 1) * 2);
  for (let i = 0; i < text.length; ++i) engine.HEAPU16[pointer / 2 + i] = text.charCodeAt(i);
  engine.HEAPU16[pointer / 2 + text.length] = 0;
  return pointer;
}

// Calls `run` with `texts` in the engine's memory (null stays a null pointer), freed afterwards.
function withTexts(engine, encode, texts, run) {
  const pointers = texts.map((text) => (text === null || text === undefined ? 0 : encode(engine, text)));
  try {
    return run(...pointers);
  } finally {
    pointers.forEach((pointer) => engine._free(pointer));
  }
}

function answerOf(engine, pointer) {
  return JSON.parse(engine.UTF8ToString(pointer));
}

const operations = {
  ready: () => true,
  inspect(engine, request) {
    const source = (engine.lkmSource = sourceOf(request));
    return withTexts(engine, utf8, [request.name, request.resolution, request.keepUi], (name, resolution, keepUi) =>
      answerOf(engine, engine._lkm_inspect(name, source.size, request.folder ? 1 : 0, resolution, keepUi)));
  },
  restore(engine, request) {
    const source = (engine.lkmSource = sourceOf(request));
    const report = withTexts(engine, utf8, [request.name, request.output], (name, output) =>
      answerOf(engine, engine._lkm_restore(name, source.size, request.folder ? 1 : 0, output)));
    const size = engine._lkm_restored_size();
    const data = engine._lkm_restored_data();
    return {report, stock: size === 0 ? null : engine.HEAPU8.slice(data, data + size)};
  },
  iniKeys: (engine) => answerOf(engine, engine._lkm_ini_keys()),
  iniFor: (engine, request) => withTexts(engine, utf16, request.texts, (...texts) =>
    answerOf(engine, engine._lkm_ini_for(...texts))),
};

onmessage = async (event) => {
  const request = event.data;
  const lentBack = request.bytes ? request.bytes.buffer : undefined;
  let engine = null;
  let answer;
  try {
    engine = await engineLoaded;
    answer = {id: request.id, result: operations[request.op](engine, request)};
  } catch (error) {
    answer = {id: request.id, failure: String((error && error.message) || error)};
  } finally {
    if (engine) engine.lkmSource = null;
  }
  postMessage(Object.assign(answer, {lentBack}), lentBack ? [lentBack] : []);
};
