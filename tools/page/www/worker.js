// The page's worker: holds one instance of the module and does every run in
// it, so that the page stays responsive however long a run takes. Buffers
// cross in both directions by transfer, and each file is removed from the
// module's file system as soon as it has been read, so that a large drawing
// is held once in the page, not two or three times.
'use strict';

importScripts('tarnex.js');

const kWorkFolder = '/w';
const kOutFolder = '/w/out';
// Progress is forwarded at most this often: each message costs the page a
// repaint.
const kProgressIntervalMs = 50;

let modulePromise = null;
let lines = { out: [], err: [] };
let lastProgress = 0;

function ensureFolder(FS, path) {
  try {
    FS.mkdir(path);
  } catch (e) {
    // It exists already.
  }
}

function startModule() {
  if (!modulePromise) {
    modulePromise = TarnexModule({
      print: (text) => lines.out.push(text),
      printErr: (text) => lines.err.push(text),
      onProgress: (done, total) => {
        const now = Date.now();
        if (now - lastProgress >= kProgressIntervalMs || done >= total) {
          lastProgress = now;
          postMessage({ type: 'progress', done, total });
        }
      },
    }).then((Module) => {
      ensureFolder(Module.FS, kWorkFolder);
      ensureFolder(Module.FS, kOutFolder);
      return Module;
    });
  }
  return modulePromise;
}

function removeFile(FS, path) {
  try {
    FS.unlink(path);
  } catch (e) {
    // Not written.
  }
}

// Reads a file the run wrote into a buffer of its own and removes it from
// the module; null when the run did not write it.
function takeFile(FS, path) {
  let data;
  try {
    data = FS.readFile(path);
  } catch (e) {
    return null;
  }
  removeFile(FS, path);
  // readFile gives a fresh array over a buffer of its own: transferable.
  return data.byteOffset === 0 && data.byteLength === data.buffer.byteLength
    ? data.buffer
    : data.slice().buffer;
}

let drawingPath = null;

// The page's drawing, written into the module's file system without a copy
// (the module owns the buffer from now on), then described.
function load(Module, message) {
  if (drawingPath) {
    removeFile(Module.FS, drawingPath);
  }
  drawingPath = kWorkFolder + '/' + message.name;
  Module.FS.writeFile(drawingPath, new Uint8Array(message.buffer), { canOwn: true });
  // The description of a large drawing is large: it goes to the page as
  // bytes copied once out of the module's memory, by transfer, and is parsed
  // there.
  const pointer = Module.ccall('tarnex_inspect', 'number', ['string'], [drawingPath]);
  let bytes;
  if (Module.HEAPU8) {
    const end = Module.HEAPU8.indexOf(0, pointer);
    bytes = Module.HEAPU8.slice(pointer, end).buffer;
  } else {
    bytes = new TextEncoder().encode(Module.UTF8ToString(pointer)).buffer;
  }
  postMessage({ type: 'loaded', id: message.id, inspect: bytes }, [bytes]);
}

function run(Module, message) {
  if (!drawingPath) {
    throw new Error('no drawing loaded');
  }
  const outputs = message.outputs;  // {drawing, report, picture}: names under /w/out
  const args = ['run', drawingPath, ...message.args];
  const paths = {};
  for (const [key, name] of Object.entries(outputs)) {
    if (name) {
      paths[key] = kOutFolder + '/' + name;
    }
  }
  if (paths.drawing) args.push('-o', paths.drawing);
  if (paths.report) args.push('--report', paths.report);
  if (paths.picture) args.push('--svg', paths.picture);
  lines = { out: [], err: [] };
  lastProgress = 0;
  const started = performance.now();
  const status = Module.ccall('tarnex_run', 'number', ['string'], [JSON.stringify(args)]);
  const seconds = (performance.now() - started) / 1000;
  const files = {};
  const transfer = [];
  const discard = new Set(message.discard || []);
  for (const [key, path] of Object.entries(paths)) {
    if (discard.has(key)) {
      removeFile(Module.FS, path);
      continue;
    }
    files[key] = takeFile(Module.FS, path);
    if (files[key]) transfer.push(files[key]);
  }
  postMessage({ type: 'ran', id: message.id, status, out: lines.out, err: lines.err, files, seconds, args },
              transfer);
}

function settings(Module, message) {
  const text = Module.ccall('tarnex_settings_json', 'string', [], []);
  postMessage({ type: 'settings', id: message.id, settings: JSON.parse(text) });
}

onmessage = async (event) => {
  const message = event.data;
  try {
    const Module = await startModule();
    if (message.type === 'load') load(Module, message);
    else if (message.type === 'run') run(Module, message);
    else if (message.type === 'settings') settings(Module, message);
  } catch (e) {
    postMessage({ type: 'failed', id: message.id, error: String(e && e.message ? e.message : e) });
  }
};
