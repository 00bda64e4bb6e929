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
// (the module owns the buffer from now on).
function store(Module, name, buffer) {
  if (drawingPath) {
    removeFile(Module.FS, drawingPath);
  }
  drawingPath = kWorkFolder + '/' + name;
  Module.FS.writeFile(drawingPath, new Uint8Array(buffer), { canOwn: true });
}

// Describes the drawing for the page, and hands its bytes back with the
// description. The page does this in a worker of its own that it ends
// afterwards: reading a drawing whole for its description takes the
// module's memory to several times the drawing's size, which a module never
// gives back, and the worker that runs the command need not keep it.
function inspect(Module, message) {
  store(Module, message.name, message.buffer);
  const pointer = Module.ccall('tarnex_inspect', 'number', ['string'], [drawingPath]);
  const description = JSON.parse(Module.UTF8ToString(pointer));
  const transfer = [message.buffer];
  if (description.ok) {
    description.figures = figureTable(description, transfer);
  }
  postMessage({ type: 'inspected', id: message.id, description, buffer: message.buffer }, transfer);
}

// A drawing's figures as columns: their ids, path data and layers, and every
// end point in one array. Half a million figures as objects, each with its
// end points as arrays of arrays, would take the page several times the
// memory; the numbers go across by transfer.
function figureTable(description, transfer) {
  const figures = description.figures;
  const layers = description.layers.slice();
  const layerAt = new Map(layers.map((name, i) => [name, i]));
  let endCount = 0;
  for (const figure of figures) endCount += figure.ends.length;
  const table = {
    ids: new Array(figures.length), paths: new Array(figures.length), layers,
    layerOf: new Uint32Array(figures.length), xy: new Float64Array(2 * endCount),
    endStart: new Uint32Array(figures.length + 1),
  };
  let end = 0;
  figures.forEach((figure, i) => {
    table.ids[i] = figure.id;
    table.paths[i] = figure.d;
    if (!layerAt.has(figure.layer)) {
      layerAt.set(figure.layer, layers.length);
      layers.push(figure.layer);
    }
    table.layerOf[i] = layerAt.get(figure.layer);
    table.endStart[i] = end;
    for (const [x, y] of figure.ends) {
      table.xy[2 * end] = x;
      table.xy[2 * end + 1] = y;
      ++end;
    }
  });
  table.endStart[figures.length] = end;
  transfer.push(table.layerOf.buffer, table.xy.buffer, table.endStart.buffer);
  return table;
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
    if (message.type === 'inspect') inspect(Module, message);
    else if (message.type === 'store') {
      store(Module, message.name, message.buffer);
      postMessage({ type: 'stored', id: message.id });
    } else if (message.type === 'run') run(Module, message);
    else if (message.type === 'settings') settings(Module, message);
  } catch (e) {
    postMessage({ type: 'failed', id: message.id, error: String(e && e.message ? e.message : e) });
  }
};
