// The page's worker: runs the engine (the package library as WebAssembly,
// tools/web/engine.h) for api.js, so that a long build leaves the page free.
// make_page.py puts it behind the engine's glue (createKestruneEngine) and
// KESTRUNE_WASM, the module's bytes in base64, in one script that api.js
// starts from a Blob.
//
// Messages in: {id, call, args}. Out: {id, progress: {phase, done, total}}
// while a call works, then {id, result} or {id, error: {message, status}}.
// Calls run one at a time, in the order they came: the codec keeps its
// state in the module.
'use strict';

const wasmBytes = (() => {
  const text = atob(KESTRUNE_WASM);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
  return bytes;
})();

let engine = null;  // the module's promise; null after it aborted
let callId = 0;     // the call whose progress the engine reports

function startEngine() {
  return createKestruneEngine({
    wasmBinary: wasmBytes,
    onProgress: (phase, done, total) => postMessage({id: callId, progress: {phase, done, total}}),
    print: () => {},
    printErr: () => {},
  });
}

class EngineError extends Error {
  constructor(message, status) {
    super(message);
    this.status = status;
  }
}

// A UTF-8 copy of text in the module's memory, for one call.
function cString(M, text) {
  const size = M.lengthBytesUTF8(text) + 1;
  const at = M._malloc(size);
  if (!at) throw new EngineError('not enough memory', 'damaged');
  M.stringToUTF8(text, at, size);
  return at;
}

// Calls fn with the strings among args in the module's memory.
function withStrings(M, fn, ...args) {
  const held = [];
  try {
    const passed = args.map((arg) => {
      if (typeof arg !== 'string') return arg;
      held.push(cString(M, arg));
      return held[held.length - 1];
    });
    return fn(...passed);
  } finally {
    held.forEach((at) => M._free(at));
  }
}

// A copy of bytes in the module's memory; the caller frees it (or hands it
// to the engine, which does).
function copyIn(M, bytes, what) {
  const at = M._malloc(Math.max(bytes.length, 1));
  if (!at) throw new EngineError(`${what}: not enough memory for ${bytes.length} bytes`, 'damaged');
  M.HEAPU8.set(bytes, at);
  return at;
}

function answerOf(M, text) {
  const answer = JSON.parse(M.UTF8ToString(text));
  if (answer.ok === false && !answer.report) throw new EngineError(answer.message, answer.status);
  return answer;
}

function output(M, at, size) {
  const start = M._kestrune_output_data() + at;
  return M.HEAPU8.slice(start, start + size);
}

const calls = {
  // {files: [{role, bytes, name}], texts: {field: text}, numbers: {field: n}}
  build(M, request) {
    M._kestrune_request_reset();
    for (const file of request.files) {
      const at = copyIn(M, file.bytes, `--${file.role}`);
      if (!withStrings(M, M._kestrune_request_file, file.role, at, file.bytes.length, file.name))
        throw new EngineError(`unknown file ${file.role}`, 'refused');
    }
    for (const [field, text] of Object.entries(request.texts))
      if (!withStrings(M, M._kestrune_request_text, field, text))
        throw new EngineError(`unknown option ${field}`, 'refused');
    for (const [field, value] of Object.entries(request.numbers))
      if (!withStrings(M, M._kestrune_request_number, field, value))
        throw new EngineError(`unknown option ${field}`, 'refused');
    const answer = answerOf(M, M._kestrune_build());
    const bytes = output(M, 0, M._kestrune_output_size());
    return {value: {bytes, summary: answer.summary, notes: answer.notes}, transfer: [bytes.buffer]};
  },

  // {bytes, codepage, name, extract: 0 | 1 | 2 (forced)}
  read(M, request) {
    const at = copyIn(M, request.bytes, request.name);
    let answer;
    try {
      answer = answerOf(
          M, withStrings(M, M._kestrune_read, at, request.bytes.length, request.codepage, request.name,
                         request.extract));
    } finally {
      M._free(at);
    }
    if (!answer.ok) return {value: answer, transfer: []};
    const files = (answer.files || []).map((file) => ({name: file.name, bytes: output(M, file.at, file.size)}));
    return {
      value: {report: answer.report, warnings: answer.warnings || [], files},
      transfer: files.map((file) => file.bytes.buffer),
    };
  },

  describeName(M, request) {
    return {value: answerOf(M, withStrings(M, M._kestrune_describe_name, request.name, request.codepage))};
  },

  defaults(M) {
    return {value: answerOf(M, M._kestrune_defaults())};
  },
};

let queue = Promise.resolve();

onmessage = (event) => {
  const {id, call, args} = event.data;
  queue = queue.then(async () => {
    try {
      if (!engine) engine = startEngine();
      const M = await engine;
      callId = id;
      const {value, transfer} = calls[call](M, args);
      postMessage({id, result: value}, transfer || []);
    } catch (error) {
      // An abort (the module ran out of memory, say) leaves the module
      // unusable: the next call starts a new one.
      if (!(error instanceof EngineError)) engine = null;
      const message = error instanceof EngineError ? error.message : `the engine stopped: ${error.message || error}`;
      postMessage({id, error: {message, status: error.status || 'damaged'}});
    }
  });
};
