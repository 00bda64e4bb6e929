// The page against the native vekhost on one large drawing: the time to
// load it, to convert it in the page (the run in the worker, and from the
// click until the download is offered) and natively, the tab's peak memory
// (the renderer process, which holds the page and its worker), and whether
// both wrote the same bytes (SHA-256). Run by bench/page-bench.sh.
//
// node page-bench.mjs --page DIR --vekhost NATIVE_VEKHOST --drawing FILE --work DIR --modules NPM_FOLDER
import { createRequire } from 'node:module';
import { spawn, spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { readFileSync, mkdirSync, statSync } from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';

const { values: options } = parseArgs({ options: {
  page: { type: 'string' }, vekhost: { type: 'string' }, drawing: { type: 'string' }, work: { type: 'string' },
  browser: { type: 'string', default: '/usr/bin/chromium' }, modules: { type: 'string' },
} });
// puppeteer-core as installed for the page's tests (tests/page/package.json).
const puppeteer = createRequire(path.resolve(options.modules, 'package.json'))('puppeteer-core');
const kArgs = ['--ref', '0,0', '--select', 'all', '--set', 'd_point=3', '--set', 'inchmm=0', '--set', 'IsExploded=0',
               '--set', 'Color=0', '--set', 'mColor1=MAINCOLOR02', '--set', 'mLType1=LINETYPE07'];
const kTimeoutMs = 30 * 60 * 1000;
const mb = (bytes) => (bytes / 1e6).toFixed(0) + ' MB';

function native() {
  mkdirSync(options.work, { recursive: true });
  const out = path.join(options.work, 'native-' + path.basename(options.drawing));
  // Wall-clock, CPU time and peak memory of the child, by Python's rusage.
  const timed = spawnSync('python3', ['-c', `
import resource, subprocess, sys, time
start = time.monotonic()
status = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL).returncode
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(status, time.monotonic() - start, usage.ru_utime + usage.ru_stime, usage.ru_maxrss * 1024)
`, options.vekhost, 'run', options.drawing, ...kArgs, '-o', out],
    { encoding: 'utf8', env: { ...process.env, TARNEX_REGISTRY_FILE: path.join(options.work, 'registry.txt') } });
  const [status, seconds, cpu, peak] = timed.stdout.trim().split(' ').map(Number);
  const sha = status === 0 ? createHash('sha256').update(readFileSync(out)).digest('hex') : null;
  return { status, seconds, cpu, peak, sha };
}

function peakOf(pid) {
  try {
    const status = readFileSync(`/proc/${pid}/status`, 'utf8');
    return Number(status.match(/VmHWM:\s+(\d+) kB/)[1]) * 1024;
  } catch (e) {
    return 0;
  }
}

async function inPage() {
  const server = spawn(options.vekhost, ['serve', '--port', '0', options.page], { stdio: ['ignore', 'pipe', 'inherit'] });
  const url = await new Promise((resolve) => server.stdout.on('data', (d) => {
    const m = String(d).match(/http:\/\/127\.0\.0\.1:\d+\//);
    if (m) resolve(m[0]);
  }));
  const browser = await puppeteer.launch({ executablePath: options.browser, headless: true,
                                           args: ['--no-sandbox', '--disable-gpu'], protocolTimeout: kTimeoutMs });
  try {
    const page = await browser.newPage();
    page.on('pageerror', (e) => console.log('page error:', e.message));
    await page.setViewport({ width: 1400, height: 1000 });
    await page.goto(url);
    await page.waitForFunction(() => document.body.dataset.state === 'empty', { timeout: kTimeoutMs });
    let started = Date.now();
    await (await page.$('#drawing')).uploadFile(options.drawing);
    await page.waitForFunction(() => ['loaded', 'failed'].includes(document.body.dataset.state),
                               { timeout: kTimeoutMs, polling: 500 });
    const load = (Date.now() - started) / 1000;
    await page.evaluate(() => {
      const set = (id, v) => { const e = document.getElementById(id); e.value = v; e.dispatchEvent(new Event('change')); };
      set('ref-x', '0'); set('ref-y', '0'); set('d_point', '3'); set('inchmm', '0');
      document.getElementById('exploded').checked = false;
      document.getElementById('color-keep').checked = true;
      document.getElementById('with-report').checked = false;
      document.getElementById('pick-all').click();
    });
    const session = await browser.target().createCDPSession();
    const cpu = async () => (await session.send('SystemInfo.getProcessInfo')).processInfo
      .filter((p) => p.type === 'renderer').reduce((sum, p) => sum + p.cpuTime, 0);
    const cpuBefore = await cpu();
    started = Date.now();
    await page.click('#run');
    await page.waitForFunction(() => Number(document.body.dataset.runs || 0) > 0, { timeout: kTimeoutMs, polling: 500 });
    const run = (Date.now() - started) / 1000;
    const runCpu = (await cpu()) - cpuBefore;
    const result = await page.evaluate(async () => {
      const link = document.getElementById('download');
      if (!link.hasAttribute('href')) return { error: document.getElementById('error').textContent };
      const bytes = await (await fetch(link.href)).arrayBuffer();
      const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', bytes));
      return { status: document.getElementById('status').textContent,
               sha: [...digest].map((b) => b.toString(16).padStart(2, '0')).join('') };
    });
    const { processInfo } = await session.send('SystemInfo.getProcessInfo');
    const renderers = processInfo.filter((p) => p.type === 'renderer').map((p) => peakOf(p.id));
    return { load, run, runCpu, ...result, rendererPeak: Math.max(...renderers), browserPeak: peakOf(browser.process().pid) };
  } finally {
    await browser.close();
    server.kill();
  }
}

const size = statSync(options.drawing).size;
console.log(`Drawing: ${options.drawing}, ${mb(size)}`);
const n = native();
console.log(`native vekhost run: exit ${n.status}, ${n.seconds.toFixed(1)} s (CPU ${n.cpu.toFixed(1)} s), peak ${mb(n.peak)}`);
const p = await inPage();
console.log(`page: load ${p.load.toFixed(1)} s; run ${p.run.toFixed(1)} s from the click to the download ` +
            `(CPU ${p.runCpu.toFixed(1)} s; ${p.status || p.error})`);
console.log(`page: tab (renderer) peak ${mb(p.rendererPeak)} (${(p.rendererPeak / size).toFixed(1)} x the file), browser process peak ${mb(p.browserPeak)}`);
console.log(`page run / native run: ${(p.run / n.seconds).toFixed(2)} wall-clock, ${(p.runCpu / n.cpu).toFixed(2)} CPU ` +
            `(goal <= 3); same bytes: ${p.sha === n.sha}`);
process.exit(p.sha === n.sha ? 0 : 1);
