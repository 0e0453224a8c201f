// Large pictures never freeze the page: a 12-megapixel photograph is offered
// at a working size, a 1024 x 1024 transform leaves the page's own thread
// free (its longest task is measured), and Cancel stops a long one.
'use strict';

const {test, before, after} = require('node:test');
const path = require('node:path');
const s = require('./support.js');

let browser;
let dir;

before(async () => {
  dir = s.scratch('responsive');
  s.run(s.env.magick, ['-seed', '3', '-size', '1024x1024', 'plasma:', 'square.png'], dir);
  s.run(s.env.magick, ['-seed', '5', '-size', '4000x3000', 'plasma:', '-quality', '90', 'photo.jpg'],
        dir);
  browser = await s.launch();
});

after(async () => {
  if (browser) await s.close(browser);
});

// The longest task of the page's own thread since the last call, in ms: 0
// when none took 50 ms (the least the browser reports).
async function longestTask(page) {
  return page.evaluate(() => {
    const longest = Math.max(0, ...window.longTasks);
    window.longTasks = [];
    return longest;
  });
}

test('a 1024 x 1024 transform leaves the page responsive', async () => {
  const page = await s.openPage(browser);
  await s.upload(page, path.join(dir, 'square.png'));
  s.assert.equal(await page.$eval('#size', (select) => select.value), '512x512');
  await longestTask(page);
  await s.settle(page, () => page.select('#size', '1024x1024'));
  const longest = await longestTask(page);
  const status = await s.text(page, '#status');
  console.log(`1024 x 1024: ${status} The page's longest task: ${longest} ms.`);
  s.assert.match(status, /^1024 × 1024: transformed/);
  // A frozen page would show the whole transform as one task.
  s.assert.ok(longest < 200, `a task of ${longest} ms`);
  await s.screenshot(page, 'square-1024');
  await s.closePage(page);
});

test('a 12-megapixel photograph: a working size first, the full size on request, Cancel', async () => {
  const page = await s.openPage(browser);
  const start = Date.now();
  await s.upload(page, path.join(dir, 'photo.jpg'));
  const seconds = (Date.now() - start) / 1000;
  const options = await page.$$eval('#size option', (list) => list.map((o) => o.textContent));
  const status = await s.text(page, '#status');
  console.log(`4000 x 3000 JPEG: ${seconds.toFixed(1)} s from choosing it to its spectrum; ${status}`);
  console.log(`  offered: ${options.join('; ')}`);
  s.assert.equal(await page.$eval('#size', (select) => select.value), '512x384');
  s.assert.match(status, /^512 × 384: transformed/);
  s.assert.match(options[options.length - 1], /^4000 × 3000, full size \(about \d+ (s|min)\)$/);
  s.assert.ok((await longestTask(page)) < 200);
  await s.screenshot(page, 'photo-12mp');

  // The full size takes minutes here; Cancel ends it and the page goes on.
  await page.select('#size', '4000x3000');
  await page.waitForFunction(() => document.getElementById('progress').value > 0, {polling: 100});
  await s.screenshot(page, 'photo-progress');
  await s.settle(page, () => page.click('#cancel'));
  s.assert.equal(await s.text(page, '#status'), 'Cancelled.');
  s.assert.equal(await page.$eval('#saveSpectrum', (button) => button.disabled), true);
  await s.settle(page, () => page.select('#size', '1024x768'));
  s.assert.match(await s.text(page, '#status'), /^1024 × 768: transformed/);
  s.assert.ok((await longestTask(page)) < 200);
  await s.closePage(page);
});
