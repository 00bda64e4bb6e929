// One drawing, one answer, in the browser too: the WebAssembly module's
// tarnex_run writes the bytes the native vekhost writes.
//
//   node scripts/wasm-identity.mjs MODULE.js NATIVE_VEKHOST WORK_DIR DRAWING...
//
// MODULE.js is build/wasm/page/tarnex.js (the wasm preset), loaded here as
// the page's worker loads it but handed its .wasm's bytes (Node's fetch takes
// no file paths). Each drawing is converted at a few settings by both, the
// native program in a folder of its own and the module in its in-memory file
// system, with the same relative paths, in one module instance (each call
// must stand alone); then once more picking only the first figure that
// tarnex_inspect names. The drawing, report and picture written, the exit
// status and what each printed must be the same. A damaged copy of the first
// drawing must fail the same way in both, its error naming the line, and
// tarnex_inspect must refuse it alike. Exit status 0 when all agree.
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const [moduleJs, nativeArg, workDir, ...drawings] = process.argv.slice(2);
const nativeVekhost = path.resolve(nativeArg ?? '');
if (!drawings.length) {
    console.error('usage: wasm-identity.mjs MODULE.js NATIVE_VEKHOST WORK_DIR DRAWING...');
    process.exit(2);
}

const SETTINGS = [
    ['1.25,-3.5', ['d_point=3', 'inchmm=1', 'IsExploded=0', 'Color=0']],
    ['0,0', ['d_point=3', 'inchmm=1', 'IsExploded=1', 'Color=1', 'mColor1=MAINCOLOR08',
             'mLType1=LINETYPE09']],
    ['0.004,0.017', ['d_point=2', 'inchmm=0', 'IsExploded=0', 'Color=0']],
];
const OUTPUTS = ['out.dxf', 'report.json', 'picture.svg'];

function runArgs(ref, settings, select = 'all') {
    const args = ['run', 'in.dxf', '--ref', ref, '--select', select];
    for (const s of settings) args.push('--set', s);
    return [...args, '-o', 'out.dxf', '--report', 'report.json', '--svg', 'picture.svg'];
}

function runNative(dir, args) {
    const r = spawnSync(nativeVekhost, args, {
        cwd: dir, encoding: 'latin1',
        env: { ...process.env, TARNEX_REGISTRY_FILE: path.join(dir, 'registry.txt') },
    });
    return { status: r.status, out: r.stdout, err: r.stderr };
}

const require = createRequire(import.meta.url);
const TarnexModule = require(path.resolve(moduleJs));
let out = [];
let err = [];
// Node's fetch takes no file paths: the module is handed its bytes.
const module = await TarnexModule({
    print: (l) => out.push(l),
    printErr: (l) => err.push(l),
    wasmBinary: fs.readFileSync(moduleJs.replace(/\.js$/, '.wasm')),
});
let progressCalls = 0;
module.onProgress = () => { progressCalls += 1; };
const run = module.cwrap('tarnex_run', 'number', ['string']);
const inspect = (file) => JSON.parse(module.ccall('tarnex_inspect', 'string', ['string'], [file]));
const settingsJson = JSON.parse(module.ccall('tarnex_settings_json', 'string', [], []));
module.FS.mkdirTree('/w');

function runModule(bytes, args) {
    for (const name of OUTPUTS) {
        try { module.FS.unlink('/w/' + name); } catch (e) { /* not there */ }
    }
    module.FS.writeFile('/w/in.dxf', bytes);
    module.FS.chdir('/w');
    out = [];
    err = [];
    const status = run(JSON.stringify(args.slice(0))); // args after the program's name
    const files = {};
    for (const name of OUTPUTS) {
        try { files[name] = Buffer.from(module.FS.readFile('/w/' + name)); } catch (e) { /* none */ }
    }
    const text = (lines) => lines.map((l) => l + '\n').join('');
    return { status, out: text(out), err: text(err), files };
}

let failures = 0;
let compared = 0;
function check(what, native, web, dir) {
    const problems = [];
    if (native.status !== web.status) problems.push(`exit ${native.status} natively, ${web.status} in the module`);
    // The module's print is UTF-8 text; the native bytes were read as latin1.
    if (Buffer.from(native.out, 'latin1').toString('utf8') !== web.out) problems.push('standard output differs');
    if (Buffer.from(native.err, 'latin1').toString('utf8') !== web.err) problems.push('standard error differs');
    for (const name of OUTPUTS) {
        const file = path.join(dir, name);
        const mine = fs.existsSync(file) ? fs.readFileSync(file) : undefined;
        const theirs = web.files[name];
        if (!mine !== !theirs || (mine && Buffer.compare(mine, theirs) !== 0)) problems.push(`${name} differs`);
        if (theirs) fs.writeFileSync(path.join(dir, 'module-' + name), theirs);
    }
    compared += 1;
    if (problems.length) {
        failures += 1;
        console.log(`DIFFERENT ${what}: ${problems.join('; ')} (in ${dir})`);
        fs.writeFileSync(path.join(dir, 'module-stdout.txt'), web.out);
        fs.writeFileSync(path.join(dir, 'module-stderr.txt'), web.err);
    }
}

function compare(what, dir, bytes, args) {
    fs.mkdirSync(dir, { recursive: true });
    fs.writeFileSync(path.join(dir, 'in.dxf'), bytes);
    const web = runModule(bytes, args);
    check(what, runNative(dir, args), web, dir);
    return web;
}

fs.rmSync(workDir, { recursive: true, force: true });
let figures = 0;
drawings.forEach((drawing, d) => {
    const bytes = fs.readFileSync(drawing);
    SETTINGS.forEach(([ref, settings], s) => {
        compare(`${drawing} at ${ref} ${settings.join(' ')}`, path.join(workDir, `${d}-${s}`),
                bytes, runArgs(ref, settings));
    });
    const seen = inspect('in.dxf');
    if (!seen.ok || seen.format !== 'dxf') {
        failures += 1;
        console.log(`tarnex_inspect refused ${drawing}: ${seen.error}`);
        return;
    }
    figures += seen.figures.length;
    if (seen.figures.length && seen.pickById) {
        const [ref, settings] = SETTINGS[0];
        compare(`${drawing}, figure ${seen.figures[0].id} alone`, path.join(workDir, `${d}-one`),
                bytes, runArgs(ref, settings, 'handle:' + seen.figures[0].id));
    }
});
const names = settingsJson.settings.map((s) => s.name).join(' ');
if (names !== 'd_point inchmm IsExploded Color mColor1 mLType1') {
    failures += 1;
    console.log(`tarnex_settings_json names ${names}`);
}

// A drawing cut off inside its entities: no output, the line named.
const whole = fs.readFileSync(drawings[0], 'latin1');
const at = whole.indexOf('ENTITIES');
const broken = Buffer.from(whole.slice(0, at) + 'ENTITIES\n  0\nLINE\n 10\nnot a number\n', 'latin1');
const web = compare('a damaged drawing', path.join(workDir, 'broken'), broken,
                    runArgs('0,0', ['d_point=3']));
if (web.status !== 1 || !/line \d+/.test(web.err)) {
    failures += 1;
    console.log(`the damaged drawing gave exit ${web.status} and "${web.err.trim()}"`);
}
const refused = inspect('in.dxf');
if (refused.ok || !web.err.includes(refused.error)) {
    failures += 1;
    console.log(`tarnex_inspect said ${JSON.stringify(refused)} of the damaged drawing`);
}

console.log(`${compared} runs compared, ${failures} differences; ${figures} figures inspected; ` +
            `the module told its progress ${progressCalls} times`);
process.exit(failures ? 1 : 0);
