// The page's files against the programs' for the same pictures: spectrum
// files with the same header and text as specfwd's and specfilter's, samples
// that differ only by the C library's sin and cos, gray pictures with the
// same levels; the same bytes for any number of workers; a notch clicked on
// a peak and a painted mask that specfilter turns into the same file.
'use strict';

const {test, before, after} = require('node:test');
const fs = require('node:fs');
const path = require('node:path');
const s = require('./support.js');

let browser;
let dir;
// One row per comparison for the table the run prints.
const table = [];

before(async () => {
  dir = s.scratch('numbers');
  s.run(s.env.scene, ['scene.bmp'], dir);
  s.run(s.tool('specfwd'), ['scene.bmp'], dir);
  // A photograph-like picture of odd size, given to the page as a PNG, which
  // the browser decodes, and to specfwd as the same pixels in a BMP.
  s.run(s.env.magick, ['-seed', '7', '-size', '301x199', 'plasma:', '-type', 'truecolor',
                       'BMP3:plasma.bmp'], dir);
  s.run(s.env.magick, ['plasma.bmp', 'plasma.png'], dir);
  fs.mkdirSync(path.join(dir, 'plasma'));
  s.run(s.tool('specfwd'), ['../plasma.bmp'], path.join(dir, 'plasma'));
  browser = await s.launch();
});

after(async () => {
  if (browser) await s.close(browser);
  if (table.length > 0) {
    console.log('page against programs     size       parts differing  largest difference');
    for (const row of table) {
      console.log(`${row.what.padEnd(25)} ${`${row.width}x${row.height}`.padEnd(10)} ` +
                  `${String(row.differing).padStart(6)} of ${String(row.parts).padEnd(7)}` +
                  `${row.ulps.toFixed(3)} ulps of the largest |F|`);
    }
  }
});

async function spectrumOf(page, picture, where) {
  await s.upload(page, picture);
  return s.download(page, '#saveSpectrum', path.join(dir, where));
}

test('the demo picture: specfwd\'s spectrum file, gray picture and power spectrum', async () => {
  const page = await s.openPage(browser);
  const file = await spectrumOf(page, path.join(dir, 'scene.bmp'), 'scene');
  const result = s.compareSpectra(file, path.join(dir, 'dft_complex.dat'));
  table.push({what: 'demo picture (BMP)', ...result});
  s.assertSinCosOnly(result);
  const gray = await s.download(page, '#saveGray', path.join(dir, 'scene'));
  s.assert.deepEqual(s.grayLevels(gray), s.grayLevels(path.join(dir, 'SourceToGray.bmp')));
  // The classic scale is PowerSpectrum.bmp's; samples that differ in their
  // last bits may move a pixel across a level's edge, rarely.
  await s.settle(page, () => page.select('#view', 'classic'));
  const power = await s.download(page, '#saveView', path.join(dir, 'scene-power'));
  const a = s.grayLevels(power);
  const b = s.grayLevels(path.join(dir, 'PowerSpectrum.bmp'));
  let moved = 0;
  for (let i = 0; i < b.length; ++i) if (a[i] !== b[i]) moved += 1;
  s.assert.ok(moved <= b.length / 1000, `${moved} pixels of PowerSpectrum.bmp differ`);
  await s.screenshot(page, 'demo');
  await s.closePage(page);
});

test('a photograph-like picture of odd size decoded by the browser', async () => {
  const page = await s.openPage(browser);
  const file = await spectrumOf(page, path.join(dir, 'plasma.png'), 'plasma-page');
  const result = s.compareSpectra(file, path.join(dir, 'plasma', 'dft_complex.dat'));
  table.push({what: 'plasma 301x199 (PNG)', ...result});
  s.assertSinCosOnly(result);
  const gray = await s.download(page, '#saveGray', path.join(dir, 'plasma-page'));
  s.assert.deepEqual(s.grayLevels(gray), s.grayLevels(path.join(dir, 'plasma', 'SourceToGray.bmp')));
  // At odd sizes the centred picture is no rotation: the pointer on the
  // pixel the peak list names reads that peak, and a click there notches it.
  const [uv, , , pixel] = await page.$eval('#peaks tbody tr', (row) =>
    Array.from(row.cells, (cell) => cell.textContent));
  const [x, y] = pixel.slice(1, -1).split(', ').map(Number);
  const [px, py] = await s.spectrumPoint(page, x, y);
  await page.mouse.move(px, py);
  await page.waitForFunction((uv) => document.getElementById('probe').textContent
    .startsWith(`(u, v) = ${uv} `), {polling: 50}, uv);
  await s.settle(page, () => page.mouse.click(px, py));
  s.assert.equal(await s.text(page, '#command'),
                 `specfilter -n${uv.slice(1, -1).replace(', ', ',')},1 dft_complex.dat dft_filtered.dat`);
  await s.closePage(page);
});

test('the same bytes for one, two and three workers', async () => {
  const files = [];
  for (const helpers of [1, 2, 3]) {
    const page = await s.openPage(browser, `?helpers=${helpers}`);
    files.push(await spectrumOf(page, path.join(dir, 'plasma.png'), `workers-${helpers}`));
    await s.closePage(page);
  }
  const bytes = files.map((file) => fs.readFileSync(file));
  s.assert.deepEqual(bytes[1], bytes[0]);
  s.assert.deepEqual(bytes[2], bytes[0]);
});

test('a click on the grating\'s peak is specfilter -n24,16,1', async () => {
  const page = await s.openPage(browser);
  const spectrum = await spectrumOf(page, path.join(dir, 'scene.bmp'), 'notch');
  // The peak (24, 16) of the 256 x 192 demo picture is pixel (152, 79) of
  // PowerSpectrum.bmp; the click lands a pixel off it, and the page takes
  // the strongest coefficient near the click.
  const [x, y] = await s.spectrumPoint(page, 153, 80);
  await s.settle(page, () => page.mouse.click(x, y));
  s.assert.equal(await s.text(page, '#command'),
                 'specfilter -n24,16,1 dft_complex.dat dft_filtered.dat');
  const filtered = await s.download(page, '#saveSpectrum', path.join(dir, 'notch'));
  s.assert.equal(path.basename(filtered), 'dft_filtered.dat');
  const notchDir = path.dirname(spectrum);
  s.run(s.tool('specfilter'), ['-n24,16,1', path.basename(spectrum), 'program.dat'], notchDir);
  // The same file, to the byte: specfilter read the page's spectrum, and an
  // ideal notch's gains are 0 and 1.
  s.assert.deepEqual(fs.readFileSync(filtered), fs.readFileSync(path.join(notchDir, 'program.dat')));
  s.assert.match(s.run(s.tool('specinfo'), ['-t', 'dft_filtered.dat'], notchDir),
                 /specfilter -n24,16,1/);
  // Against specfwd's spectrum filtered by the program: the sin/cos bound.
  s.run(s.tool('specfilter'), ['-n24,16,1', '../dft_complex.dat', 'native.dat'], notchDir);
  const result = s.compareSpectra(filtered, path.join(notchDir, 'native.dat'));
  table.push({what: 'notch -n24,16,1', ...result});
  s.assertSinCosOnly(result);
  await s.screenshot(page, 'notch');
  await s.closePage(page);
});

test('a painted mask: specfilter -m with the saved mask gives the same file', async () => {
  const page = await s.openPage(browser);
  const spectrum = await spectrumOf(page, path.join(dir, 'scene.bmp'), 'mask');
  await page.click('input[name="tool"][value="brush"]');
  // A stroke over the grating's peak at (152, 79); the mirror is painted too.
  const from = await s.spectrumPoint(page, 140, 72);
  const to = await s.spectrumPoint(page, 166, 86);
  await s.settle(page, async () => {
    await page.mouse.move(from[0], from[1]);
    await page.mouse.down();
    await page.mouse.move(to[0], to[1], {steps: 8});
    await page.mouse.up();
  });
  s.assert.equal(await s.text(page, '#command'),
                 'specfilter -mmask.bmp dft_complex.dat dft_filtered.dat');
  const maskDir = path.dirname(spectrum);
  const filtered = await s.download(page, '#saveSpectrum', maskDir);
  const mask = await s.download(page, '#saveMask', maskDir);
  s.assert.equal(path.basename(mask), 'mask.bmp');
  s.run(s.tool('specfilter'), ['-mmask.bmp', path.basename(spectrum), 'program.dat'], maskDir);
  s.assert.deepEqual(fs.readFileSync(filtered), fs.readFileSync(path.join(maskDir, 'program.dat')));
  // Painted symmetric: the mirror's gains are the same, so -s changes nothing.
  s.run(s.tool('specfilter'), ['-s', '-mmask.bmp', path.basename(spectrum), 'symmetric.dat'],
        maskDir);
  const a = s.readSpectrum(filtered).samples;
  const b = s.readSpectrum(path.join(maskDir, 'symmetric.dat')).samples;
  s.assert.deepEqual(a, b);
  await s.screenshot(page, 'mask');
  await s.closePage(page);
});
