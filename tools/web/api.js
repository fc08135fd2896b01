// window.kestrune: the page's interface to the package library
// (docs/web-page.md). Every call runs in one Web Worker, started from the
// page's own engine script (a Blob, so a page opened from disk works too),
// and answers with a Promise. Errors reject with the library's message, as
// the command line prints it after "build: " or the file's name.
'use strict';

const kestrune = (() => {
  const FILE_ROLES = ['main', 'second', 'extra'];
  const TEXT_OPTIONS = ['confirm', 'done', 'failure', 'badHeader', 'dialog', 'productName', 'productVersion',
                        'company', 'copyright', 'description'];
  const FLAG_OPTIONS = ['stored', 'best', 'silent'];
  const BUILD_OPTIONS = new Set([...FILE_ROLES, 'mainName', 'secondName', 'extraName', 'icon', 'mainParts',
                                 'codepage', 'outputName', 'onProgress', ...TEXT_OPTIONS, ...FLAG_OPTIONS]);
  const READ_OPTIONS = new Set(['codepage', 'name', 'force', 'onProgress']);
  const DEFAULT_CODEPAGE = 1252;

  let worker = null;
  let nextId = 1;
  const pending = new Map();  // id -> {resolve, reject, onProgress}

  function failure(message, status, extra) {
    return Object.assign(new Error(message), {status}, extra);
  }

  function startWorker() {
    const script = document.getElementById('kestrune-engine').textContent;
    const url = URL.createObjectURL(new Blob([script], {type: 'text/javascript'}));
    worker = new Worker(url);
    worker.onmessage = (event) => {
      URL.revokeObjectURL(url);
      const {id, progress, result, error} = event.data;
      const call = pending.get(id);
      if (!call) return;
      if (progress) {
        if (call.onProgress) call.onProgress(progress.phase, progress.done, progress.total);
        return;
      }
      pending.delete(id);
      if (error) call.reject(failure(error.message, error.status));
      else call.resolve(result);
    };
    // A worker that cannot start or dies takes its calls with it; the next
    // call starts another.
    worker.onerror = (event) => {
      event.preventDefault();
      for (const call of pending.values()) call.reject(failure(`the engine stopped: ${event.message}`, 'damaged'));
      pending.clear();
      worker = null;
    };
  }

  function call(name, args, onProgress, transfer) {
    if (!worker) startWorker();
    const id = nextId++;
    return new Promise((resolve, reject) => {
      pending.set(id, {resolve, reject, onProgress});
      worker.postMessage({id, call: name, args}, transfer || []);
    });
  }

  // A Uint8Array, ArrayBuffer, Blob or File as a Uint8Array of its own. By
  // their tags, not instanceof: those of another frame count too.
  async function bytesOf(data, what) {
    const tag = Object.prototype.toString.call(data);
    if (tag === '[object Blob]' || tag === '[object File]') return new Uint8Array(await data.arrayBuffer());
    if (tag === '[object ArrayBuffer]') return new Uint8Array(data.slice(0));
    if (ArrayBuffer.isView(data)) return new Uint8Array(data.buffer.slice(data.byteOffset, data.byteOffset + data.byteLength));
    throw failure(`${what}: not bytes (a Uint8Array, ArrayBuffer, Blob or File)`, 'refused');
  }

  function checkOptions(options, known, call) {
    for (const key of Object.keys(options))
      if (!known.has(key)) throw failure(`${call}: unknown option ${key}`, 'refused');
  }

  // "NightSky.scr" -> "NightSkySetup.exe": the installer's name unless one is given.
  function installerName(mainName) {
    return `${String(mainName || '').replace(/\.[^.]*$/, '')}Setup.exe`;
  }

  // The request the worker hands the engine, from build's options.
  async function buildRequest(options) {
    if (!options.main) throw failure('--main is required', 'refused');
    if (!options.second) throw failure('--second is required', 'refused');
    if (options.extraName !== undefined && !options.extra) throw failure('--extra-name needs --extra', 'refused');
    const request = {files: [], texts: {}, numbers: {}};
    for (const role of [...FILE_ROLES, 'icon']) {
      const data = options[role];
      if (data === undefined || data === null) continue;
      const given = options[`${role}Name`];
      const name = given !== undefined ? String(given) : data.name || '';
      request.files.push({role, bytes: await bytesOf(data, `--${role}`), name});
    }
    for (const key of TEXT_OPTIONS)
      if (options[key] !== undefined && options[key] !== null) request.texts[key] = String(options[key]);
    const mainName = request.files[0].name;
    request.texts.outputName = options.outputName !== undefined ? String(options.outputName) : installerName(mainName);
    if (options.mainParts !== undefined) {
      const parts = Number(options.mainParts);
      request.numbers.mainParts = Number.isInteger(parts) && parts >= 0 && parts < 10 ? parts : 0;
    }
    const codepage = options.codepage === undefined ? DEFAULT_CODEPAGE : Number(options.codepage);
    request.numbers.codepage = Number.isInteger(codepage) ? codepage : -1;
    for (const key of FLAG_OPTIONS) request.numbers[key] = options[key] ? 1 : 0;
    return request;
  }

  // The installer with what the command line prints about it: {bytes, name,
  // summary (lines), notes}.
  async function buildReport(options = {}) {
    checkOptions(options, BUILD_OPTIONS, 'build');
    const request = await buildRequest(options);
    const transfer = request.files.map((file) => file.bytes.buffer);
    const answer = await call('build', request, options.onProgress, transfer);
    return {...answer, name: request.texts.outputName};
  }

  async function read(data, options, extract) {
    checkOptions(options, READ_OPTIONS, extract ? 'extract' : 'inspect');
    const bytes = await bytesOf(data, 'installer');
    const name = options.name !== undefined ? String(options.name) : data.name || 'installer';
    const codepage = options.codepage === undefined ? DEFAULT_CODEPAGE : Number(options.codepage);
    const mode = extract ? (options.force ? 2 : 1) : 0;
    const answer = await call('read', {bytes, codepage, name, extract: mode}, options.onProgress, [bytes.buffer]);
    if (answer.ok === false)
      throw failure(answer.message, answer.status, {report: answer.report, problems: answer.report.problems});
    return answer;
  }

  return {
    installerName,
    buildReport,
    async build(options) {
      return (await buildReport(options)).bytes;
    },
    // The report inspect lists; rejects when the bytes are no Kestrune stub.
    async inspect(data, options = {}) {
      const {report} = await read(data, options, false);
      if (report.kind === 'not a stub') throw failure(report.problems[0], 'damaged', {report});
      return report;
    },
    // {sound, verdict, problems, report}: verify's answer, for any bytes.
    async verify(data, options = {}) {
      const {report} = await read(data, options, false);
      return {sound: report.sound, verdict: report.verdict, problems: report.problems, report};
    },
    // {files: [{name, bytes}], warnings, report}; rejects what verify
    // refuses unless options.force.
    async extract(data, options = {}) {
      return read(data, options, true);
    },
    // {shortName, problem, doneText} for a file name in the code page.
    describeName(name, options = {}) {
      const codepage = options.codepage === undefined ? DEFAULT_CODEPAGE : Number(options.codepage);
      return call('describeName', {name: String(name), codepage});
    },
    // {failure, badHeader, codepages, defaultCodepage}.
    defaults() {
      return call('defaults', {});
    },
  };
})();
window.kestrune = kestrune;
