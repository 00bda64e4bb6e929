// The page in Debian's headless Chromium, served by `vekhost serve`: real
// drawings loaded through the file input and converted at three settings,
// each converted drawing, report and picture read back from the page's links
// and compared byte for byte with the native `vekhost run` given the same
// arguments; picking by layer, click and box, the reference point by click;
// a malformed drawing's line in #error and no download; the Korean summary
// drawn in a Korean font. Writes the README's screenshots.
//
// node page-test.mjs --page DIR --vekhost NATIVE_VEKHOST --corpus LIBRECAD_DIR
//                    --work SCRATCH [--modules NPM_FOLDER] [--screenshots DIR] [--drawings N]
// The screenshots go to SCRATCH/screenshots unless another folder is given
// (the README's: --screenshots docs/pictures).
import { spawn, execFile } from 'node:child_process';
import { mkdirSync, readFileSync, writeFileSync, copyFileSync, rmSync, existsSync } from 'node:fs';
import { readdirSync, statSync } from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';

const here = path.dirname(fileURLToPath(import.meta.url));
const { values: options } = parseArgs({ options: {
  page: { type: 'string' }, vekhost: { type: 'string' }, corpus: { type: 'string' },
  work: { type: 'string' }, screenshots: { type: 'string' }, drawings: { type: 'string', default: '20' },
  browser: { type: 'string', default: '/usr/bin/chromium' },
  modules: { type: 'string' },
} });
for (const name of ['page', 'vekhost', 'corpus', 'work']) {
  if (!options[name]) throw new Error(`--${name} is needed`);
}
options.screenshots ??= path.join(options.work, 'screenshots');
// puppeteer-core where run.sh installed it (npm ci in the build tree, so that
// no third-party file lands among the sources).
const puppeteer = createRequire(path.resolve(options.modules || here, 'package.json'))('puppeteer-core');

// The corpus test's three settings, each with a reference point of its own.
const kSettings = [
  { ref: ['0', '0'], d_point: '2', inchmm: '0', exploded: false, colour: null },
  { ref: ['0.04', '-1.5'], d_point: '3', inchmm: '1', exploded: true, colour: ['MAINCOLOR08', 'LINETYPE09'] },
  { ref: ['10', '20'], d_point: '1', inchmm: '2', exploded: false, colour: ['MAINCOLOR03', 'LINETYPE01'] },
];
const kTimeoutMs = 60000;

const started = Date.now();
const failures = [];
const tally = { same: 0, refused: 0 };
function check(condition, what) {
  if (!condition) {
    failures.push(what);
    console.log('FAIL:', what);
  }
  return condition;
}

// ---- drawings -------------------------------------------------------------------

function dxfFiles(folder) {
  const found = [];
  for (const name of readdirSync(folder)) {
    const full = path.join(folder, name);
    if (statSync(full).isDirectory()) found.push(...dxfFiles(full));
    else if (name.toLowerCase().endsWith('.dxf')) found.push(full);
  }
  return found;
}

// Every k-th drawing of the corpus in name order, then two JSON drawings
// (one with Korean layer names); each copied into the scratch folder under
// a name of its own.
function drawings() {
  const all = dxfFiles(options.corpus).sort();
  const count = Number(options.drawings);
  const step = Math.max(1, Math.floor(all.length / count));
  const chosen = all.filter((_, i) => i % step === 0).slice(0, count);
  const inputs = path.join(options.work, 'in');
  mkdirSync(inputs, { recursive: true });
  const copies = chosen.map((file, i) => {
    const name = `${String(i).padStart(2, '0')}-${path.basename(file)}`;
    copyFileSync(file, path.join(inputs, name));
    return path.join(inputs, name);
  });
  for (const [seed, name] of [['da449a2238be0a62b6e3a29b0e8f5e6fbd6c6064', 'walls.json'],
                              ['48d8d6475470aa4e8468b6ace5bacec6c3bfdf8e', '도면.json']]) {
    copyFileSync(path.join(here, '../../fuzz/corpus/drawing_json_fuzz', seed), path.join(inputs, name));
    copies.push(path.join(inputs, name));
  }
  return copies;
}

// ---- native runs ------------------------------------------------------------------

function nativeRun(drawing, args, folder) {
  mkdirSync(folder, { recursive: true });
  const name = path.basename(drawing);
  const stem = name.replace(/\.[^.]*$/, '');
  const outputs = { drawing: path.join(folder, name), report: path.join(folder, stem + '.report.json'),
                    picture: path.join(folder, stem + '.svg') };
  const all = ['run', drawing, ...args, '-o', outputs.drawing, '--report', outputs.report, '--svg', outputs.picture];
  return new Promise((resolve) => {
    execFile(options.vekhost, all, { env: { ...process.env, TARNEX_REGISTRY_FILE: path.join(options.work, 'registry.txt') },
                                     maxBuffer: 1 << 26 }, (error, stdout, stderr) => {
      const status = error ? error.code : 0;
      const read = (file) => (status === 0 && existsSync(file) ? readFileSync(file) : null);
      resolve({ status, stdout, stderr, drawing: read(outputs.drawing), report: read(outputs.report),
                picture: read(outputs.picture) });
    });
  });
}

// ---- the page ---------------------------------------------------------------------

function serve() {
  const server = spawn(options.vekhost, ['serve', '--port', '0', options.page], { stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((resolve, reject) => {
    let text = '';
    server.stdout.on('data', (data) => {
      text += data;
      const match = text.match(/http:\/\/127\.0\.0\.1:\d+\//);
      if (match) resolve({ server, url: match[0] });
    });
    server.on('exit', (code) => reject(new Error(`vekhost serve ended (${code}): ${text}`)));
  });
}

async function linkBytes(page, id) {
  const base64 = await page.evaluate(async (linkId) => {
    const link = document.getElementById(linkId);
    if (!link.hasAttribute('href')) return null;
    const bytes = new Uint8Array(await (await fetch(link.href)).arrayBuffer());
    let text = '';
    for (let i = 0; i < bytes.length; i += 0x8000) text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(text);
  }, id);
  return base64 === null ? null : Buffer.from(base64, 'base64');
}

async function load(page, file) {
  await (await page.$('#drawing')).uploadFile(file);
  await page.waitForFunction(() => document.body.dataset.state === 'loaded' || document.body.dataset.state === 'failed',
                             { timeout: kTimeoutMs });
}

async function applySettings(page, s) {
  await page.evaluate((s) => {
    const set = (id, value) => {
      const element = document.getElementById(id);
      if (element.type === 'checkbox') element.checked = value; else element.value = value;
      element.dispatchEvent(new Event(element.type === 'text' ? 'input' : 'change', { bubbles: true }));
      element.dispatchEvent(new Event('change', { bubbles: true }));
    };
    set('ref-x', s.ref[0]);
    set('ref-y', s.ref[1]);
    set('d_point', s.d_point);
    set('inchmm', s.inchmm);
    set('exploded', s.exploded);
  }, s);
  await page.click(s.colour ? '#color-change' : '#color-keep');
  if (s.colour) {
    // Through the pickers, as a user chooses.
    await page.click('#colour-swatch');
    await page.click(`#colour-picker [data-name="${s.colour[0]}"]`);
    await page.click('#linetype-swatch');
    await page.click(`#linetype-picker [data-name="${s.colour[1]}"]`);
  }
}

async function run(page) {
  const before = Number(await page.evaluate(() => document.body.dataset.runs || 0));
  if (!check(!(await page.$eval('#run', (b) => b.disabled)), 'Run can be pressed')) {
    return { args: null, error: 'Run was disabled' };
  }
  await page.click('#run');
  await page.waitForFunction((n) => Number(document.body.dataset.runs || 0) > n, { timeout: kTimeoutMs }, before);
  return page.evaluate(() => ({
    args: JSON.parse(document.getElementById('command').dataset.args || 'null'),
    error: document.getElementById('error').textContent,
    summary: document.getElementById('summary').textContent,
  }));
}

// Runs the page and native vekhost alike and compares what both wrote.
async function runAndCompare(page, drawing, label, pending) {
  const shown = await run(page);
  const page_ = { drawing: await linkBytes(page, 'download'), report: await linkBytes(page, 'download-report-json'),
                  picture: await linkBytes(page, 'download-picture') };
  if (!shown.args) {
    check(false, `${label}: the page ran nothing: ${shown.error}`);
    return;
  }
  const folder = path.join(options.work, 'native', String(pending.length));
  pending.push(nativeRun(drawing, shown.args, folder).then((native) => {
    if (native.status !== 0) {
      tally.refused += 1;
      check(page_.drawing === null && shown.error.length > 0,
            `${label}: native failed (${native.stderr.trim()}), the page offers no download and says why`);
      return;
    }
    tally.same += 1;
    for (const key of ['drawing', 'report', 'picture']) {
      check(page_[key] !== null && native[key].equals(page_[key]),
            `${label}: the page's ${key} is native's byte for byte (${page_[key] ? page_[key].length : 'none'} / ${native[key].length} bytes)`);
    }
  }));
  return shown;
}

async function pictureDrawn(page) {
  return page.evaluate(() => {
    const svg = document.getElementById('picture');
    if (!svg) return { drawn: false };
    const box = svg.getBoundingClientRect();
    const viewBox = svg.getAttribute('viewBox');
    svg.dispatchEvent(new WheelEvent('wheel', { deltaY: -100, clientX: box.x + box.width / 2,
                                                clientY: box.y + box.height / 2, bubbles: true, cancelable: true }));
    return { drawn: box.width > 100 && box.height > 100 && svg.querySelectorAll('line, path').length > 0,
             zoomed: svg.getAttribute('viewBox') !== viewBox };
  });
}

async function koreanFonts(page, selector) {
  const session = await page.createCDPSession();
  await session.send('DOM.enable');
  await session.send('CSS.enable');
  const { root } = await session.send('DOM.getDocument');
  const { nodeId } = await session.send('DOM.querySelector', { nodeId: root.nodeId, selector });
  const { fonts } = await session.send('CSS.getPlatformFontsForNode', { nodeId });
  await session.detach();
  return fonts.map((f) => f.familyName);
}

// ---- the test cases -------------------------------------------------------------

async function convertEach(page, inputs, pending) {
  for (const drawing of inputs) {
    await load(page, drawing);
    const loaded = await page.evaluate(() => ({ error: document.getElementById('error').textContent,
                                               overview: document.getElementById('overview').textContent }));
    let pictured = false;
    for (const [i, s] of kSettings.entries()) {
      await applySettings(page, s);
      const label = `${path.basename(drawing)} at setting ${i + 1}`;
      if (loaded.error) {
        // Refused on loading: the run is refused too, natively.
        const native = await nativeRun(drawing, [], path.join(options.work, 'refused'));
        check(native.status === 1 && (await page.$eval('#run', (b) => b.disabled)),
              `${label}: refused on loading (${loaded.error}) and natively (${native.status})`);
        continue;
      }
      await page.click('#pick-all');
      const shown = await runAndCompare(page, drawing, label, pending);
      // The arguments native vekhost is given are the page's: they must be
      // the settings chosen.
      const wanted = ['--ref', s.ref.join(','), '--select', 'all', '--set', `d_point=${s.d_point}`, '--set',
                      `inchmm=${s.inchmm}`, '--set', `IsExploded=${s.exploded ? 1 : 0}`, '--set', `Color=${s.colour ? 1 : 0}`,
                      ...(s.colour ? ['--set', `mColor1=${s.colour[0]}`, '--set', `mLType1=${s.colour[1]}`] : [])];
      const pairs = (args) => new Set(args.flatMap((a, k) => (k % 2 ? [] : [a + ' ' + args[k + 1]])));
      const given = pairs(shown && shown.args ? shown.args : []);
      check([...pairs(wanted)].every((p) => given.has(p)), `${label}: the run's arguments are the settings chosen: ${shown && shown.args}`);
      if (!pictured && await page.$eval('#download', (a) => a.hasAttribute('href'))) {
        pictured = true;
        const picture = await pictureDrawn(page);
        check(picture.drawn && picture.zoomed, `${label}: the picture is drawn and zooms: ${JSON.stringify(picture)}`);
      }
    }
  }
}

async function picking(page, drawing, pending) {
  await load(page, drawing);
  await applySettings(page, kSettings[0]);
  // By layer: the first layer with figures.
  const layer = await page.evaluate(() => {
    const figures = view.figures;
    return figures.length ? figures.layer(0) : null;
  });
  await page.click('#pick-layer');
  await page.evaluate((name) => {
    for (const option of document.getElementById('layers').options) option.selected = option.value === name;
    document.getElementById('layers').dispatchEvent(new Event('change'));
  }, layer);
  let shown = await runAndCompare(page, drawing, `${path.basename(drawing)} by layer ${layer}`, pending);
  const select = (args) => args[args.indexOf('--select') + 1];
  // A JSON drawing's selection names figures; a DXF drawing's the layer.
  check(shown && (drawing.endsWith('.json') ? /^[^,]+(,[^,]+)*$/.test(select(shown.args)) && select(shown.args) !== 'all'
                                              : select(shown.args) === 'layer:' + layer),
        `by layer: --select names the layer's figures (${shown && shown.args})`);

  // By box: a box over the whole view picks every figure, by handle.
  await page.click('#pick-box');
  const canvas = await (await page.$('#canvas')).boundingBox();
  await page.mouse.move(canvas.x + 2, canvas.y + 2);
  await page.mouse.down();
  await page.mouse.move(canvas.x + canvas.width / 2, canvas.y + canvas.height / 2, { steps: 4 });
  await page.mouse.move(canvas.x + canvas.width - 2, canvas.y + canvas.height - 2, { steps: 4 });
  await page.mouse.up();
  const counted = await page.evaluate(() => [view.selected.size, view.figures.length]);
  check(counted[0] === counted[1] && counted[0] > 0, `by box: every figure picked (${counted})`);
  shown = await runAndCompare(page, drawing, `${path.basename(drawing)} by box`, pending);
  check(shown && select(shown.args) !== 'all', `by box: --select lists figures (${shown && select(shown.args)})`);

  // By click: a click on a figure's first end picks that figure alone.
  await page.click('#pick-click');
  await page.evaluate(() => view.onPick(new Set()));
  const point = await page.evaluate(() => {
    const rect = document.getElementById('canvas').getBoundingClientRect();
    const end = view.figures.end(0, 0);
    const [x, y] = view.toScreen(end[0], end[1]);
    return [rect.x + x, rect.y + y];
  });
  await page.mouse.click(point[0], point[1]);
  const picked = await page.evaluate(() => [...view.selected].map((i) => view.figures.ids[i]));
  check(picked.length === 1, `by click: one figure picked (${picked})`);
  shown = await runAndCompare(page, drawing, `${path.basename(drawing)} by click`, pending);

  // The reference point by click snaps to the nearest figure end.
  await page.click('#ref-pick');
  const end = await page.evaluate(() => view.figures.end(0, 0));
  await page.mouse.move(point[0] + 3, point[1] - 2);
  await page.mouse.click(point[0] + 3, point[1] - 2);
  const ref = await page.evaluate(() => [document.getElementById('ref-x').value, document.getElementById('ref-y').value]);
  check(Number(ref[0]) === end[0] && Number(ref[1]) === end[1], `the reference point snaps to an end: ${ref} for ${end}`);
}

// The box a figure is picked by, against the browser's own geometry: random
// arcs of every sweep, direction and size (SVG's getBBox of the same path).
async function boxesAgree(page) {
  const seed = Number(process.env.TARNEX_SEED || Date.now() % 1000000);
  const bad = await page.evaluate((seed) => {
    let state = seed;
    const random = () => ((state = (state * 1103515245 + 12345) % 2147483648) / 2147483648);
    const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
    const path = document.createElementNS('http://www.w3.org/2000/svg', 'path');
    svg.append(path);
    document.body.append(svg);
    const wrong = [];
    for (let i = 0; i < 500; ++i) {
      const scale = 10 ** (random() * 6 - 3), cx = (random() - 0.5) * 100 * scale, cy = (random() - 0.5) * 100 * scale;
      const r = scale * (0.1 + random()), a = random() * 2 * Math.PI, b = a + (random() * 2 - 1) * 2 * Math.PI * 0.999;
      const [x1, y1, x2, y2] = [cx + r * Math.cos(a), cy + r * Math.sin(a), cx + r * Math.cos(b), cy + r * Math.sin(b)];
      const d = `M ${x1} ${y1} A ${r} ${r} 0 ${Math.abs(b - a) > Math.PI ? 1 : 0} ${b > a ? 1 : 0} ${x2} ${y2} L ${x2 + scale} ${y2}`;
      path.setAttribute('d', d);
      const box = path.getBBox();
      const ours = pathBounds(d);
      const slack = 1e-3 * scale;
      if (Math.abs(ours[0] - box.x) > slack || Math.abs(ours[1] - box.y) > slack ||
          Math.abs(ours[2] - (box.x + box.width)) > slack || Math.abs(ours[3] - (box.y + box.height)) > slack) {
        wrong.push(`${d}: ${ours} against ${[box.x, box.y, box.x + box.width, box.y + box.height]}`);
      }
    }
    svg.remove();
    return wrong;
  }, seed);
  check(bad.length === 0, `figure boxes agree with the browser's (TARNEX_SEED=${seed}): ${bad.slice(0, 3).join('; ')}`);
}

// The CSV report, made on request by a run of its own, is native's.
async function csvReport(page, drawing) {
  await page.click('#download-report-csv');
  await page.waitForFunction(() => document.getElementById('download-report-csv').download !== '',
                             { timeout: kTimeoutMs });
  const csv = await linkBytes(page, 'download-report-csv');
  const args = await page.evaluate(() => JSON.parse(document.getElementById('command').dataset.args));
  const folder = path.join(options.work, 'csv');
  mkdirSync(folder, { recursive: true });
  const native = await new Promise((resolve) => execFile(options.vekhost,
    ['run', drawing, ...args, '-o', path.join(folder, path.basename(drawing)), '--report', path.join(folder, 'r.csv')],
    { env: { ...process.env, TARNEX_REGISTRY_FILE: path.join(options.work, 'registry.txt') } },
    (error) => resolve(error ? null : readFileSync(path.join(folder, 'r.csv')))));
  check(csv && native && csv.equals(native), `the CSV report is native's byte for byte (${csv && csv.length} bytes)`);
}

// The settings last used come back with the page.
async function settingsKept(page) {
  await applySettings(page, kSettings[2]);
  await page.reload();
  await page.waitForFunction(() => document.body.dataset.state === 'empty', { timeout: kTimeoutMs });
  const shown = await page.evaluate(() => ['ref-x', 'ref-y', 'd_point', 'inchmm', 'mColor1', 'mLType1']
    .map((id) => document.getElementById(id).value).concat(document.getElementById('color-change').checked));
  const s = kSettings[2];
  const wanted = [...s.ref, s.d_point, s.inchmm, ...s.colour, true];
  check(JSON.stringify(shown) === JSON.stringify(wanted), `settings kept for the next visit: ${shown} (${wanted})`);
}

// A DXF drawing without handles: its figures cannot be named one by one, so
// neither a click nor a box can pick them; all of them still convert.
async function withoutHandles(page, pending) {
  const file = path.join(options.work, 'in', 'no-handles.dxf');
  writeFileSync(file, ['0', 'SECTION', '2', 'ENTITIES', '0', 'LINE', '8', '0', '10', '0.123', '20', '0', '11', '1.456',
                       '21', '0', '0', 'CIRCLE', '8', 'A', '10', '5', '20', '5', '40', '1.2345', '0', 'ENDSEC', '0', 'EOF', ''].join('\n'));
  await load(page, file);
  const disabled = await page.evaluate(() => ['pick-click', 'pick-box'].map((id) => document.getElementById(id).disabled));
  check(disabled.every(Boolean), `no handles: no picking by click or box (${disabled})`);
  await applySettings(page, kSettings[0]);
  await page.click('#pick-all');
  await runAndCompare(page, file, 'no-handles.dxf', pending);
}

async function malformed(page) {
  // Line 8 holds a value that is no number where group code 10 needs one.
  const bad = path.join(options.work, 'in', 'malformed.dxf');
  writeFileSync(bad, ['0', 'SECTION', '2', 'ENTITIES', '0', 'LINE', '10', '1,5', '20', '0', '11', '1', '21', '1',
                      '0', 'ENDSEC', '0', 'EOF', ''].join('\n'));
  await load(page, bad);
  const shown = await page.evaluate(() => ({ error: document.getElementById('error').textContent,
                                            href: document.getElementById('download').hasAttribute('href'),
                                            run: document.getElementById('run').disabled }));
  check(/line 8\b/.test(shown.error) && !shown.href && shown.run,
        `a malformed drawing: its line in #error, no download: ${JSON.stringify(shown)}`);
}

async function screenshots(page, drawing, pending) {
  mkdirSync(options.screenshots, { recursive: true });
  await load(page, drawing);
  // One place, so that the movements show; a colour change, so that the
  // pickers' choices show.
  await applySettings(page, { ref: ['0', '0'], d_point: '1', inchmm: '0', exploded: false,
                              colour: ['MAINCOLOR06', 'LINETYPE07'] });
  await page.click('#pick-all');
  await page.screenshot({ path: path.join(options.screenshots, 'page-loaded.png') });
  await runAndCompare(page, drawing, `${path.basename(drawing)} for the screenshot`, pending);
  await page.evaluate(() => document.getElementById('picture-view').scrollIntoView());
  await page.screenshot({ path: path.join(options.screenshots, 'page-after-run.png'), fullPage: true });
  await csvReport(page, drawing);
}

// ---- main ---------------------------------------------------------------------------

rmSync(options.work, { recursive: true, force: true });
mkdirSync(options.work, { recursive: true });
const inputs = drawings();
const { server, url } = await serve();
const browser = await puppeteer.launch({ executablePath: options.browser, headless: true,
                                         args: ['--no-sandbox', '--disable-gpu'] });
const pending = [];
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  page.on('pageerror', (error) => check(false, `the page threw: ${error.message}`));
  // Nothing but the page's own folder: no font, script or file from elsewhere.
  page.on('request', (request) => {
    const asked = request.url();
    check(asked.startsWith(url) || asked.startsWith('blob:') || asked.startsWith('data:'),
          `the page asks only its own folder: ${asked}`);
  });
  await page.goto(url);
  await page.waitForFunction(() => document.body.dataset.state === 'empty', { timeout: kTimeoutMs });
  await boxesAgree(page);
  await convertEach(page, inputs, pending);
  const fonts = await koreanFonts(page, '#summary');
  check(fonts.some((f) => /nanum|cjk|gothic|malgun|gulim|dotum|batang|myeongjo|un /i.test(f)),
        `the summary's Korean is drawn in a Korean font: ${fonts}`);
  await picking(page, inputs[inputs.length - 2], pending);
  await picking(page, inputs.find((f) => f.endsWith('.dxf') && existsSync(f)), pending);
  await screenshots(page, path.join(options.corpus, 'library/kinetics/kin45.dxf'), pending);
  await withoutHandles(page, pending);
  await settingsKept(page);
  await malformed(page);
  await Promise.all(pending);
} finally {
  await browser.close();
  server.kill();
}
const seconds = ((Date.now() - started) / 1000).toFixed(1);
console.log(`page-test: ${inputs.length} drawings at ${kSettings.length} settings, ${pending.length} runs compared ` +
            `with native vekhost (${tally.same} converted, ${tally.refused} refused by both), ` +
            `${failures.length} failures, ${seconds} s`);
process.exit(failures.length ? 1 : 0);
