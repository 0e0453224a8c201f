// What goes wrong shows as one message in the page, and the page goes on:
// the spectrum it had stays, with everything it offers whole, and the next
// good file opens.
'use strict';

const {test, before, after} = require('node:test');
const fs = require('node:fs');
const path = require('node:path');
const zlib = require('node:zlib');
const s = require('./support.js');

let browser;
let dir;

// A PNG of one gray level, written here: it is larger than ImageMagick's
// default limits let it make.
function grayPng(width, height, level) {
  const crcTable = Array.from({length: 256}, (_, n) => {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
  });
  const crc = (bytes) => {
    let c = 0xffffffff;
    for (const b of bytes) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
  };
  const chunk = (type, data) => {
    const body = Buffer.concat([Buffer.from(type, 'latin1'), data]);
    const out = Buffer.alloc(12 + data.length);
    out.writeUInt32BE(data.length, 0);
    body.copy(out, 4);
    out.writeUInt32BE(crc(body), 8 + data.length);
    return out;
  };
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8;  // bits per sample; colour type 0 (gray), the rest 0
  const row = Buffer.alloc(width + 1, level);
  row[0] = 0;     // no filter
  const rows = Buffer.concat(Array(height).fill(row));
  return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
                        chunk('IHDR', header), chunk('IDAT', zlib.deflateSync(rows)),
                        chunk('IEND', Buffer.alloc(0))]);
}

before(async () => {
  dir = s.scratch('errors');
  s.run(s.env.scene, ['scene.bmp'], dir);
  fs.writeFileSync(path.join(dir, 'broken.png'), Buffer.from('\x89PNG\r\n\x1a\nnot a picture'));
  // A spectrum file's header for 2 x 2 samples with no samples after it.
  const header = Buffer.alloc(32);
  header.write('CPX\0', 0, 'latin1');
  for (const [offset, value] of [[8, 32], [12, 16], [16, 32], [20, 64], [24, 2], [28, 2]]) {
    header.writeInt32LE(value, offset);
  }
  fs.writeFileSync(path.join(dir, 'short.dat'), header);
  fs.writeFileSync(path.join(dir, 'tiny.dat'), Buffer.from('CPX'));
  // 8000 x 8000: the browser decodes it, but the page cannot hold its spectrum.
  fs.writeFileSync(path.join(dir, 'large.png'), grayPng(8000, 8000, 128));
  browser = await s.launch();
});

after(async () => {
  if (browser) await s.close(browser);
});

async function message(page) {
  return page.$eval('#message', (box) => (box.hidden ? '' : box.textContent));
}

// The demo's spectrum stays on the page, and is still offered whole.
async function stillThere(page, where) {
  s.assert.match(await s.text(page, '#status'), /256 × 192/);
  const file = await s.download(page, '#saveSpectrum', path.join(dir, where));
  s.assert.equal(fs.statSync(file).size, 32 + 256 * 192 * 16);
}

test('each error is one message, and the page goes on', async () => {
  const page = await s.openPage(browser);
  await s.upload(page, path.join(dir, 'scene.bmp'));

  await s.upload(page, path.join(dir, 'broken.png'));
  s.assert.equal(await message(page), "'broken.png' is no picture this browser can decode.");
  await s.screenshot(page, 'undecodable');
  await stillThere(page, 'after-broken');

  // specinv's messages for the same files.
  await s.upload(page, path.join(dir, 'short.dat'));
  s.assert.equal(await message(page), "'short.dat' unknown file");
  await stillThere(page, 'after-short');
  await s.upload(page, path.join(dir, 'tiny.dat'));
  s.assert.equal(await message(page), "'tiny.dat' size error.");

  // Offered at a working size; the full size is refused before any work.
  await s.upload(page, path.join(dir, 'large.png'));
  s.assert.equal(await page.$eval('#size', (select) => select.value), '512x512');
  s.assert.match(await s.text(page, '#status'), /512 × 512: transformed/);
  await s.settle(page, () => page.select('#size', '8000x8000'));
  s.assert.match(await message(page), /^'large\.png' at 8000 x 8000 needs \d+ MiB, more than this page can hold/);
  s.assert.equal(await page.$eval('#saveSpectrum', (button) => button.disabled), true);
  await s.screenshot(page, 'too-large');

  await s.upload(page, path.join(dir, 'scene.bmp'));
  s.assert.equal(await message(page), '');
  await stillThere(page, 'after-large');
  await s.closePage(page);
});
