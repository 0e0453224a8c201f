// The page's side of bench/web_speed.sh: times the page's transforms (the
// engine's own measure, from the first line sent to a worker to the last line
// back) and prints them beside the native figures of bench_dft's JSON output.
//   node bench/web_speed.js <bench_dft.json>
'use strict';

const fs = require('node:fs');
const path = require('node:path');
const s = require('../web/test/support.js');

const native = JSON.parse(fs.readFileSync(process.argv[2], 'utf8'));

// The fastest repetition of a native benchmark, in seconds of elapsed time,
// and a rate counter of it.
function nativeFastest(name) {
  const runs = native.benchmarks.filter((b) => b.run_name.split('/repeats:')[0] === name
                                        && b.run_type === 'iteration');
  const fastest = runs.reduce((a, b) => (a.real_time < b.real_time ? a : b));
  const scale = {ns: 1e-9, us: 1e-6, ms: 1e-3, s: 1}[fastest.time_unit];
  return {seconds: fastest.real_time * scale, rate: fastest['Gcmadd/s']};
}

async function fastest(page, act, times) {
  let best = Infinity;
  for (let i = 0; i < times; ++i) {
    await s.settle(page, act);
    best = Math.min(best, Number(await page.evaluate(() => document.body.dataset.seconds)));
  }
  return best;
}

async function pageTimes(browser, helpers, picture, size, times) {
  const page = await s.openPage(browser, `?helpers=${helpers}`);
  await s.upload(page, picture);
  const value = `${size}x${size}`;
  // Alternating with another size makes each choice a new transform.
  const other = size === 512 ? '256x256' : '512x512';
  const forward = await fastest(page, async () => {
    await page.select('#size', other);
    await s.idle(page);
    await page.select('#size', value);
  }, times);
  let inverse = null;
  if (size === 1024) {
    // Low-pass edits of alternating radii: each one's reconstruction is an
    // inverse transform of a complex spectrum.
    let radius = 100;
    inverse = await fastest(page, async () => {
      radius = radius === 100 ? 101 : 100;
      await page.select('#filterKind', 'l');
      await page.$eval('#radius1', (input, r) => {
        input.value = String(r);
        input.dispatchEvent(new Event('change'));
      }, radius);
    }, times);
  }
  await s.closePage(page);
  return {forward, inverse};
}

(async () => {
  const dir = s.env.out;
  const picture = path.join(dir, 'plasma.png');
  s.run(s.env.magick, ['-seed', '9', '-size', '1024x1024', 'plasma:', picture], dir);
  const browser = await s.launch();
  const p512 = {1: await pageTimes(browser, 1, picture, 512, 5),
                2: await pageTimes(browser, 2, picture, 512, 5)};
  const p1024 = {1: await pageTimes(browser, 1, picture, 1024, 3),
                 2: await pageTimes(browser, 2, picture, 1024, 3)};
  await s.close(browser);
  const n512 = nativeFastest('avx512/gray/512x512');
  const n1024 = nativeFastest('avx512/gray/1024x1024');
  const n1024c = nativeFastest('avx512/complex/1024x1024');
  const peak = nativeFastest('peak/128-bit').rate;
  const work1024 = 1024 * 1024 * 2048 / 1e9;
  const line = (label, a, b) => console.log(`${label.padEnd(44)} ${a.padStart(10)} ${b}`);
  console.log('forward transform of a gray picture, fastest of several runs');
  line('512 x 512, native one thread (avx512)', `${n512.seconds.toFixed(4)} s`, '');
  line('512 x 512, page, 1 worker', `${p512[1].forward.toFixed(4)} s`,
       `${(p512[1].forward / n512.seconds).toFixed(2)}x the native time`);
  line('512 x 512, page, 2 workers', `${p512[2].forward.toFixed(4)} s`,
       `${(p512[2].forward / n512.seconds).toFixed(2)}x the native time`);
  line('1024 x 1024, native one thread (avx512)', `${n1024.seconds.toFixed(4)} s`, '');
  line('1024 x 1024, page, 1 worker', `${p1024[1].forward.toFixed(4)} s`,
       `${(p1024[1].forward / n1024.seconds).toFixed(2)}x the native time`);
  line('1024 x 1024, page, 2 workers', `${p1024[2].forward.toFixed(4)} s`,
       `${(p1024[1].forward / p1024[2].forward).toFixed(2)}x faster than 1 worker`);
  console.log('inverse transform of a complex spectrum (an edit), 1024 x 1024');
  line('native one thread (avx512, complex input)', `${n1024c.seconds.toFixed(4)} s`,
       `${n1024c.rate.toFixed(2)} G cmadd/s`);
  const rate = work1024 / p1024[1].inverse;
  line('page, 1 worker', `${p1024[1].inverse.toFixed(4)} s`,
       `${rate.toFixed(2)} G cmadd/s = ${(100 * rate / peak).toFixed(0)}% of the 128-bit peak ` +
       `(${peak.toFixed(2)} G cmadd/s)`);
  line('page, 2 workers', `${p1024[2].inverse.toFixed(4)} s`,
       `${(p1024[1].inverse / p1024[2].inverse).toFixed(2)}x faster than 1 worker`);
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
