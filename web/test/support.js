// What the page's tests share: Debian's Chromium started headless with a
// fresh profile, the page opened from file://, files handed to its file
// input, downloads caught, the programs run on the same files, and spectrum
// files compared sample by sample. Every request the page makes is recorded;
// closing a page fails the test if one went anywhere but the files and the
// page's own Blobs.
'use strict';

const assert = require('node:assert/strict');
const {execFileSync} = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

// Set by web/test/run.cmake.
const env = {
  page: process.env.SPEC_PAGE,            // build/web/index.html
  chromium: process.env.SPEC_CHROMIUM,
  tools: process.env.SPEC_TOOLS,          // the native build's tools/ folder
  scene: process.env.SPEC_SCENE,          // the demo picture's generator
  magick: process.env.SPEC_MAGICK,        // ImageMagick's convert
  out: process.env.SPEC_OUT,              // scratch folder, screenshots under shots/
};

function tool(name) {
  return path.join(env.tools, name, name);
}

// Runs a program in `cwd`; returns its standard output.
function run(program, args, cwd) {
  return execFileSync(program, args, {cwd, encoding: 'latin1', stdio: ['ignore', 'pipe', 'pipe']});
}

function scratch(name) {
  const dir = path.join(env.out, name);
  fs.rmSync(dir, {recursive: true, force: true});
  fs.mkdirSync(dir, {recursive: true});
  return dir;
}

async function launch() {
  const profile = fs.mkdtempSync(path.join(env.out, 'profile-'));
  const browser = await puppeteer.launch({
    executablePath: env.chromium,
    headless: true,
    userDataDir: profile,
    protocolTimeout: 600000,
    // Root needs --no-sandbox; the rest keep Chromium from reaching out for
    // updates, sync and components, which this machine's network refuses.
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking',
           '--disable-component-update', '--no-first-run', '--disable-sync', '--disable-quic',
           '--disable-default-apps', '--mute-audio'],
  });
  browser.profile = profile;
  return browser;
}

async function close(browser) {
  await browser.close();
  fs.rmSync(browser.profile, {recursive: true, force: true});
}

// Opens the page (with `query`, such as "?helpers=1") and waits for the
// library. The page's longest tasks are recorded from the start.
async function openPage(browser, query = '') {
  const page = await browser.newPage();
  await page.setViewport({width: 1400, height: 1000});
  page.requests = [];
  page.on('request', (request) => page.requests.push(request.url()));
  page.errors = [];
  page.on('pageerror', (error) => page.errors.push(error.message));
  await page.evaluateOnNewDocument(() => {
    window.longTasks = [];
    new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) window.longTasks.push(entry.duration);
    }).observe({type: 'longtask', buffered: true});
  });
  page.session = await page.createCDPSession();
  await page.goto('file://' + env.page + query);
  await idle(page);
  assert.match(await text(page, '#status'), /^Ready: kernel wasm/);
  return page;
}

// Every request stayed on this machine: the page's files, its Blobs, and the
// module inside its script.
async function closePage(page) {
  const away = page.requests.filter((url) => !/^(file|blob|data):/.test(url));
  assert.deepEqual(away, [], 'requests that left file://');
  assert.deepEqual(page.errors, [], 'errors in the page');
  await page.close();
}

async function idle(page, timeout = 300000) {
  await page.waitForFunction(() => document.body.dataset.state === 'idle', {timeout, polling: 50});
}

// Does `act` and waits until the page has settled the request it made (a
// transform, an edit, an open that failed) and is idle again.
async function settle(page, act, timeout = 300000) {
  const before = await page.evaluate(() => Number(document.body.dataset.settled || 0));
  await act();
  await page.waitForFunction(
    (before) => Number(document.body.dataset.settled || 0) > before
                && document.body.dataset.state === 'idle', {timeout, polling: 50}, before);
}

async function text(page, selector) {
  return page.$eval(selector, (element) => element.textContent);
}

// Hands a file to the page's file input and waits until its work is done.
async function upload(page, file) {
  const input = await page.$('#file');
  await settle(page, () => input.uploadFile(file));
}

// Clicks a save button and returns the path of the file the page offered.
async function download(page, selector, dir) {
  fs.mkdirSync(dir, {recursive: true});
  await page.session.send('Browser.setDownloadBehavior',
                          {behavior: 'allow', downloadPath: dir, eventsEnabled: true});
  const done = new Promise((resolve, reject) => {
    page.session.on('Browser.downloadProgress', (event) => {
      if (event.state === 'completed') resolve(event.guid);
      if (event.state === 'canceled') reject(new Error('download canceled'));
    });
  });
  const named = new Promise((resolve) => {
    page.session.once('Browser.downloadWillBegin', (event) => resolve(event.suggestedFilename));
  });
  await page.click(selector);
  const name = await named;
  await done;
  page.session.removeAllListeners('Browser.downloadProgress');
  return path.join(dir, name);
}

// The middle of pixel (x, y) of the centred spectrum, on the screen.
async function spectrumPoint(page, x, y) {
  return page.$eval('#overlay', (canvas, x, y) => {
    const box = canvas.getBoundingClientRect();
    return [box.left + (x + 0.5) * box.width / canvas.width,
            box.top + (y + 0.5) * box.height / canvas.height];
  }, x, y);
}

async function screenshot(page, name) {
  const dir = path.join(env.out, 'shots');
  fs.mkdirSync(dir, {recursive: true});
  await page.screenshot({path: path.join(dir, `${name}.png`)});
}

// ---- Spectrum files ---------------------------------------------------------------

function readSpectrum(file) {
  const bytes = fs.readFileSync(file);
  const offset = bytes.readInt32LE(16);
  const width = bytes.readInt32LE(24);
  const height = bytes.readInt32LE(28);
  const copy = bytes.buffer.slice(bytes.byteOffset + offset, bytes.byteOffset + bytes.length);
  return {head: bytes.subarray(0, offset), width, height, samples: new Float64Array(copy)};
}

// The unit in the last place of x's binary exponent.
function ulp(x) {
  return 2 ** (Math.floor(Math.log2(Math.abs(x))) - 52);
}

// How far the samples of two spectrum files lie apart: their header and text
// must be the same bytes; returns the count of samples (parts) that differ
// and the largest difference in ulps of the largest magnitude.
function compareSpectra(pageFile, programFile) {
  const a = readSpectrum(pageFile);
  const b = readSpectrum(programFile);
  assert.deepEqual(a.head, b.head, 'header and text');
  assert.equal(a.samples.length, b.samples.length);
  let largest = 0;
  for (let i = 0; i < b.samples.length; i += 2) {
    largest = Math.max(largest, Math.hypot(b.samples[i], b.samples[i + 1]));
  }
  let differing = 0;
  let worst = 0;
  for (let i = 0; i < b.samples.length; ++i) {
    if (Object.is(a.samples[i], b.samples[i])) continue;
    differing += 1;
    worst = Math.max(worst, Math.abs(a.samples[i] - b.samples[i]));
  }
  return {width: b.width, height: b.height, parts: b.samples.length, differing,
          ulps: worst / ulp(largest)};
}

// The C library's sin and cos round each factor within an ulp, differently
// in the browser (musl) and in the programs (glibc): a sum of W + H products
// of such factors moves by at most 8 (W + H) epsilon of the largest
// magnitude, the bound the numpy comparison uses, in ulps of it at most
// 16 (W + H).
function assertSinCosOnly(result) {
  assert.ok(result.ulps <= 16 * (result.width + result.height),
            `${result.ulps} ulps of the largest magnitude`);
}

// The gray levels of a picture file, row by row from the top.
function grayLevels(file) {
  return run(env.magick, [file, '-depth', '8', 'gray:-'], path.dirname(file));
}

module.exports = {
  assert, env, tool, run, scratch, launch, close, openPage, closePage, idle, settle, text, upload,
  download, spectrumPoint, screenshot, readSpectrum, compareSpectra, assertSinCosOnly, grayLevels,
};
