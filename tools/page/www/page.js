// The page: loads a drawing into the worker, builds the settings from the
// plug-in's own tables, picks figures, runs the command and shows what it
// did. Every run happens in the worker; the page only draws.
'use strict';

const kStorageKey = 'tarnex.settings';
// Drawings with more figures than this run without the report and picture
// unless asked: both hold every figure before and after, several times the
// drawing's size.
const kLargeDrawingFigures = 50000;

const $ = (id) => document.getElementById(id);
const view = new DrawingView($('canvas'));
const picture = new PictureView($('picture-view'));
const reportTable = new ReportTable($('report'), $('report-note'));

let nextRequest = 1;
const waiting = new Map();
let drawing = null;      // {name, format, description}
let settingsInfo = null;
let lastRun = null;      // {args, name}
const urls = new Map();  // link id -> blob URL

// ---- the workers -----------------------------------------------------------

function onWorkerMessage(event) {
  const message = event.data;
  if (message.type === 'progress') {
    showProgress(message.done, message.total);
    return;
  }
  const pending = waiting.get(message.id);
  if (!pending) return;
  waiting.delete(message.id);
  if (message.type === 'failed') pending.reject(new Error(message.error));
  else pending.resolve(message);
}

function startWorker() {
  const started = new Worker('worker.js');
  started.onmessage = onWorkerMessage;
  started.onerror = (event) => {
    setStatus('The converter could not start: ' + (event.message || 'unknown error'));
  };
  return started;
}

// The worker that runs the command, for the page's whole life.
const worker = startWorker();

function askWorker(target, message, transfer = []) {
  const id = nextRequest++;
  return new Promise((resolve, reject) => {
    waiting.set(id, { resolve, reject });
    target.postMessage({ ...message, id }, transfer);
  });
}

function ask(message, transfer = []) { return askWorker(worker, message, transfer); }

function setStatus(text) { $('status').textContent = text; }

// What the page is doing, for scripts that drive it: starting, empty,
// loading, loaded, running, done (a run ended, converted or not), failed.
function setState(state) { document.body.dataset.state = state; }
setState('starting');

// An argument as a POSIX shell reads it back.
function shellWord(word) {
  return /^[\w@%+=:,./-]+$/.test(word) ? word : "'" + word.replace(/'/g, "'\\''") + "'";
}

function showProgress(done, total) {
  const bar = $('progress');
  bar.hidden = false;
  bar.max = Math.max(total, 1);
  bar.value = Math.min(done, bar.max);
  setStatus(`Converting: ${done} of ${total}`);
}

// ---- links ----------------------------------------------------------------

function setLink(id, data, type, fileName) {
  const link = $(id);
  if (urls.has(id)) {
    URL.revokeObjectURL(urls.get(id));
    urls.delete(id);
  }
  if (!data) {
    link.removeAttribute('href');
    link.removeAttribute('download');
    return;
  }
  const url = URL.createObjectURL(new Blob([data], { type }));
  urls.set(id, url);
  link.href = url;
  link.download = fileName;
}

function clearResults() {
  for (const id of ['download', 'download-report-json', 'download-picture']) setLink(id, null);
  setLink('download-report-csv', null);
  $('summary').textContent = '';
  $('command').textContent = '';
  $('error').textContent = '';
  reportTable.clear();
  picture.clear();
  $('tab-picture').disabled = true;
  showTab('drawing');
}

function baseName(name) { return name.replace(/\.[^.]*$/, ''); }

// ---- settings ---------------------------------------------------------------

// The plug-in's tables as tarnex_settings_json gives them:
// {settings: [{name, default, choices: [{value, label}]}],
//  colours: [{name, index, rgb}], lineTypes: [{name, index, bitmap}]}.
function readSettingsInfo(json) {
  const byName = new Map(json.settings.map((s) => [s.name, s]));
  return {
    defaults: Object.fromEntries(json.settings.map((s) => [s.name, s.default])),
    dPoint: byName.get('d_point').choices, inchmm: byName.get('inchmm').choices,
    colours: json.colours, lineTypes: json.lineTypes,
  };
}

function fillSelect(select, options, value) {
  select.replaceChildren(...options.map((o) => new Option(o.label, o.value)));
  select.value = value;
}

function storedSettings() {
  try { return JSON.parse(localStorage.getItem(kStorageKey)) || {}; } catch (e) { return {}; }
}

function current() {
  return {
    refX: $('ref-x').value.trim(), refY: $('ref-y').value.trim(),
    d_point: $('d_point').value, inchmm: $('inchmm').value,
    IsExploded: $('exploded').checked ? '1' : '0',
    Color: $('color-change').checked ? '1' : '0',
    mColor1: $('mColor1').value, mLType1: $('mLType1').value,
  };
}

function saveSettings() {
  try { localStorage.setItem(kStorageKey, JSON.stringify(current())); } catch (e) { /* private mode */ }
}

function rgbText(rgb) { return `rgb(${rgb[0]}, ${rgb[1]}, ${rgb[2]})`; }

function buildPicker(container, items, select, paint, swatch) {
  container.replaceChildren();
  for (const item of items) {
    const option = document.createElement('button');
    option.type = 'button';
    option.setAttribute('role', 'option');
    option.title = item.name;
    option.setAttribute('aria-label', item.name);
    option.dataset.name = item.name;
    paint(option, item);
    option.addEventListener('click', () => {
      select.value = item.name;
      container.hidden = true;
      refreshSwatches();
      saveSettings();
      swatch.focus();
    });
    container.append(option);
  }
  swatch.addEventListener('click', () => {
    container.hidden = !container.hidden;
    refreshSwatches();
  });
  container.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') { container.hidden = true; swatch.focus(); }
  });
}

function refreshSwatches() {
  const colour = settingsInfo.colours.find((c) => c.name === $('mColor1').value);
  $('colour-swatch').style.background = colour ? rgbText(colour.rgb) : '#fff';
  $('colour-swatch').title = 'Colour ' + $('mColor1').value;
  $('colour-swatch').setAttribute('aria-label', $('colour-swatch').title);
  const type = settingsInfo.lineTypes.find((t) => t.name === $('mLType1').value);
  $('linetype-swatch').querySelector('img').src = type ? 'palette/' + type.bitmap : '';
  $('linetype-swatch').title = 'Line type ' + $('mLType1').value;
  $('linetype-swatch').setAttribute('aria-label', $('linetype-swatch').title);
  for (const [picker, select] of [['colour-picker', 'mColor1'], ['linetype-picker', 'mLType1']]) {
    for (const option of $(picker).children) {
      option.setAttribute('aria-selected', String(option.dataset.name === $(select).value));
    }
  }
}

function buildSettings(json) {
  settingsInfo = readSettingsInfo(json);
  const d = settingsInfo.defaults, stored = storedSettings();
  const pick = (name, options) => {
    const value = stored[name] ?? d[name];
    return options.some((o) => o.value === value) ? value : d[name];
  };
  fillSelect($('d_point'), settingsInfo.dPoint, pick('d_point', settingsInfo.dPoint));
  fillSelect($('inchmm'), settingsInfo.inchmm, pick('inchmm', settingsInfo.inchmm));
  $('exploded').checked = (stored.IsExploded ?? d.IsExploded) === '1';
  const changeColour = (stored.Color ?? d.Color) === '1';
  $('color-change').checked = changeColour;
  $('color-keep').checked = !changeColour;
  const names = (list) => list.map((x) => ({ value: x.name, label: x.name }));
  fillSelect($('mColor1'), names(settingsInfo.colours), pick('mColor1', names(settingsInfo.colours)));
  fillSelect($('mLType1'), names(settingsInfo.lineTypes), pick('mLType1', names(settingsInfo.lineTypes)));
  $('ref-x').value = stored.refX ?? '0';
  $('ref-y').value = stored.refY ?? '0';
  buildPicker($('colour-picker'), settingsInfo.colours, $('mColor1'),
              (b, c) => { b.className = 'colour'; b.style.background = rgbText(c.rgb); }, $('colour-swatch'));
  buildPicker($('linetype-picker'), settingsInfo.lineTypes, $('mLType1'), (b, t) => {
    const image = new Image();
    image.src = 'palette/' + t.bitmap;
    image.alt = t.name;
    b.append(image);
  }, $('linetype-swatch'));
  refreshSwatches();
  updateReference();
  for (const id of ['ref-x', 'ref-y', 'd_point', 'inchmm', 'exploded', 'color-keep', 'color-change']) {
    $(id).addEventListener('change', saveSettings);
  }
}

// A coordinate as typed: a decimal number, as vekhost reads it.
function coordinate(text) {
  return /^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$/.test(text) ? Number(text) : NaN;
}

function updateReference() {
  const x = coordinate($('ref-x').value.trim()), y = coordinate($('ref-y').value.trim());
  $('ref-x').setAttribute('aria-invalid', String(Number.isNaN(x)));
  $('ref-y').setAttribute('aria-invalid', String(Number.isNaN(y)));
  view.setReference(x, y);
  updateRunButton();
}

// ---- picking ----------------------------------------------------------------

function pickMode() { return document.querySelector('input[name=pick]:checked').value; }

function figuresOnLayers(layers) {
  const wanted = new Set(layers);
  const picked = new Set();
  const figures = drawing.description.figures;
  for (let i = 0; i < figures.length; ++i) {
    if (wanted.has(figures.layer(i))) picked.add(i);
  }
  return picked;
}

function chosenLayers() { return [...$('layers').selectedOptions].map((o) => o.value); }

// The figures the run will pick, as indices into the description, and the
// --select that names them.
function selection() {
  const mode = pickMode();
  const figures = drawing ? drawing.description.figures : FigureTable.empty();
  if (mode === 'all') return { picked: null, select: 'all' };
  const picked = mode === 'layer' ? figuresOnLayers(chosenLayers()) : view.selected;
  const layers = chosenLayers();
  // A layer name with a comma cannot be given in a layer list: its figures
  // are given by handle then.
  if (mode === 'layer' && drawing.format === 'dxf' && layers.length && !layers.some((l) => l.includes(','))) {
    return { picked, select: 'layer:' + layers.join(',') };
  }
  const ids = [...picked].sort((a, b) => a - b).map((i) => figures.ids[i]);
  return { picked, select: ids.length ? (drawing.format === 'dxf' ? 'handle:' : '') + ids.join(',') : '' };
}

function updatePicked() {
  const mode = pickMode();
  if (mode === 'click' || mode === 'box') showTab('drawing');
  view.mode = mode === 'click' || mode === 'box' ? mode : view.mode === 'ref' ? 'ref' : 'pan';
  $('layers').disabled = mode !== 'layer';
  if (!drawing) return;
  const { picked } = selection();
  if (mode === 'layer') view.setSelected(picked);
  else if (mode === 'all') view.setSelected(new Set());
  const total = drawing.description.figures.length;
  $('picked-count').textContent = mode === 'all' ? `All ${total} figures` : `${picked.size} of ${total} figures picked`;
  updateRunButton();
}

view.onPick = (picked) => {
  if (pickMode() === 'all' || pickMode() === 'layer') $('pick-click').checked = true;
  view.setSelected(picked);
  updatePicked();
};

view.onReference = (x, y) => {
  $('ref-x').value = String(x);
  $('ref-y').value = String(y);
  $('ref-pick').setAttribute('aria-pressed', 'false');
  view.mode = pickMode() === 'click' || pickMode() === 'box' ? pickMode() : 'pan';
  updateReference();
  saveSettings();
};

// ---- load -------------------------------------------------------------------

async function loadFile(file) {
  clearResults();
  drawing = null;
  view.clear();
  $('overview').textContent = '';
  $('layers').replaceChildren();
  updateRunButton();
  setState('loading');
  setStatus('Reading ' + file.name + '…');
  const buffer = await file.arrayBuffer();
  // Described in a worker of its own, ended once it has answered, so that
  // the memory reading the whole drawing took goes back to the system; the
  // drawing's bytes come back with the description and go on to the worker
  // that runs the command, each time by transfer.
  const inspector = startWorker();
  let inspected;
  try {
    inspected = await askWorker(inspector, { type: 'inspect', name: file.name, buffer }, [buffer]);
  } finally {
    inspector.terminate();
  }
  await ask({ type: 'store', name: file.name, buffer: inspected.buffer }, [inspected.buffer]);
  const description = inspected.description;
  if (description.ok) description.figures = new FigureTable(description.figures);
  if (!description.ok) {
    $('error').textContent = shownLines([description.error]);
    setStatus(file.name + ' cannot be read');
    setState('loaded');
    return;
  }
  drawing = { name: file.name, format: description.format, description };
  $('overview').textContent = (description.overview || []).join('\n');
  $('layers').replaceChildren(...(description.layers || []).map((l) => new Option(l, l)));
  view.setDrawing(description);
  // A DXF drawing without handles names its figures by line, which a run
  // cannot be given: all figures or layers only.
  const byId = description.pickById !== false;
  for (const id of ['pick-click', 'pick-box']) $(id).disabled = !byId;
  if (!byId && (pickMode() === 'click' || pickMode() === 'box')) $('pick-all').checked = true;
  $('pick-click').parentElement.title = byId ? '' : 'This drawing has no handles: pick all figures or layers';
  const large = description.figures.length > kLargeDrawingFigures;
  $('with-report').checked = !large;
  setStatus(`${file.name}: ${description.figures.length} figures` +
            (large ? ' (large: report and picture off unless ticked)' : ''));
  updatePicked();
  setState('loaded');
}

$('drawing').addEventListener('change', () => {
  const file = $('drawing').files[0];
  if (file) loadFile(file).catch(showFailure);
});

const zone = document.body;
zone.addEventListener('dragover', (event) => { event.preventDefault(); $('drop-zone').classList.add('over'); });
zone.addEventListener('dragleave', () => $('drop-zone').classList.remove('over'));
zone.addEventListener('drop', (event) => {
  event.preventDefault();
  $('drop-zone').classList.remove('over');
  const file = event.dataTransfer.files[0];
  if (file) loadFile(file).catch(showFailure);
});

function showFailure(error) {
  $('error').textContent = String(error.message || error);
  $('progress').hidden = true;
  setStatus('Failed');
  setState('failed');
  updateRunButton();
}

// ---- run --------------------------------------------------------------------

let running = false;
let runs = 0;

function updateRunButton() {
  const ref = [coordinate($('ref-x').value.trim()), coordinate($('ref-y').value.trim())];
  const ready = drawing && settingsInfo && !running && ref.every(Number.isFinite) && selection().select !== '';
  $('run').disabled = !ready;
}

function runArguments(s, select) {
  return ['--ref', `${s.refX},${s.refY}`, '--select', select,
          ...['d_point', 'inchmm', 'IsExploded', 'Color', 'mColor1', 'mLType1'].flatMap((n) => ['--set', `${n}=${s[n]}`])];
}

async function run() {
  const { select } = selection();
  const args = runArguments(current(), select);
  const withReport = $('with-report').checked;
  const name = drawing.name;
  clearResults();
  running = true;
  setState('running');
  updateRunButton();
  showProgress(0, 1);
  try {
    const answer = await ask({ type: 'run', args, outputs: {
      drawing: name, report: withReport ? baseName(name) + '.report.json' : null,
      picture: withReport ? baseName(name) + '.svg' : null } });
    showRun(answer, name, args);
    setState('done');
  } finally {
    running = false;
    $('progress').hidden = true;
    document.body.dataset.runs = String(++runs);
    updateRunButton();
  }
}

// The module's file names as the user knows them: the drawing's own name.
// The files it wrote are offered as downloads, not named.
function shownLines(lines) {
  return lines.filter((line) => !line.startsWith('Written to '))
    .map((line) => line.replaceAll('/w/out/', '').replaceAll('/w/', '')).join('\n');
}

function showRun(answer, name, args) {
  $('summary').textContent = shownLines(answer.out);
  const command = ['vekhost', 'run', name, ...args, '-o', 'converted/' + name];
  if (answer.files.report) command.push('--report', baseName(name) + '.report.json');
  if (answer.files.picture) command.push('--svg', baseName(name) + '.svg');
  $('command').textContent = command.map(shellWord).join(' ');
  $('command').dataset.args = JSON.stringify(args);
  $('error').textContent = shownLines(answer.err);
  if (answer.status !== 0 || !answer.files.drawing) {
    setStatus(`${name}: not converted (exit status ${answer.status})`);
    return;
  }
  lastRun = { args, name };
  $('download-report-csv').setAttribute('href', '#');
  const type = name.toLowerCase().endsWith('.dxf') ? 'application/dxf' : 'application/json';
  setLink('download', answer.files.drawing, type, name);
  if (answer.files.report) {
    setLink('download-report-json', answer.files.report, 'application/json', baseName(name) + '.report.json');
    reportTable.show(JSON.parse(new TextDecoder().decode(answer.files.report)));
  }
  if (answer.files.picture) {
    setLink('download-picture', answer.files.picture, 'image/svg+xml', baseName(name) + '.svg');
    if (picture.show(new TextDecoder().decode(answer.files.picture))) {
      $('tab-picture').disabled = false;
      showTab('picture');
    }
  }
  setStatus(`${name}: converted in ${answer.seconds.toFixed(2)} s`);
}

$('run').addEventListener('click', () => { saveSettings(); run().catch(showFailure); });

// The CSV report is made on demand by a run of its own at the same
// arguments: vekhost writes one report a run.
$('download-report-csv').addEventListener('click', async (event) => {
  const link = event.currentTarget;
  if (link.download) return;  // made already: the browser downloads it
  event.preventDefault();
  if (!lastRun || running) return;
  running = true;
  try {
    const csvName = baseName(lastRun.name) + '.report.csv';
    const answer = await ask({ type: 'run', args: lastRun.args, outputs: { report: csvName, drawing: lastRun.name },
                               discard: ['drawing'] });
    if (answer.files.report) {
      setLink('download-report-csv', answer.files.report, 'text/csv', csvName);
      link.click();
    }
  } finally {
    running = false;
    $('progress').hidden = true;
    updateRunButton();
  }
});

// ---- tabs and controls ----------------------------------------------------------

function showTab(which) {
  $('tab-drawing').setAttribute('aria-selected', String(which === 'drawing'));
  $('tab-picture').setAttribute('aria-selected', String(which === 'picture'));
  $('drawing-view').hidden = which !== 'drawing';
  $('picture-view').hidden = which !== 'picture';
}
$('tab-drawing').addEventListener('click', () => showTab('drawing'));
$('tab-picture').addEventListener('click', () => showTab('picture'));

for (const radio of document.querySelectorAll('input[name=pick]')) radio.addEventListener('change', updatePicked);
$('layers').addEventListener('change', updatePicked);
$('ref-x').addEventListener('input', updateReference);
$('ref-y').addEventListener('input', updateReference);
$('ref-pick').addEventListener('click', () => {
  showTab('drawing');
  view.mode = 'ref';
  $('ref-pick').setAttribute('aria-pressed', 'true');
  setStatus('Click the reference point on the drawing (ends of figures snap)');
});

ask({ type: 'settings' }).then((answer) => {
  buildSettings(answer.settings);
  setStatus('Ready: choose a drawing');
  setState('empty');
  updateRunButton();
}).catch(showFailure);
