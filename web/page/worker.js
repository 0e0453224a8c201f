// The page's workers. Each one holds its own instance of the library
// (createLab, the WebAssembly module compiled from the library and
// web/glue/lab.cpp, which comes first in this worker's source). One worker,
// the engine, holds the document and answers the page; the others, the
// helpers, transform runs of lines for it over message ports. Workers share
// no memory: the engine copies lines out, a helper transforms them with the
// library's own pass, and the engine copies them back, so a transform has the
// bits of the library's dft2d whatever the number of helpers.
'use strict';

const kForward = 0;
const kInverse = 1;

// ---- The module -----------------------------------------------------------------

// Lines the library printed on standard error during the current step: the
// page shows them as they are.
let messages = [];

// Files pass through a folder of their own in the module's file system,
// under the names the user sees, which the messages then show.
const ready = createLab({
  print: (line) => messages.push(line),
  printErr: (line) => messages.push(line),
}).then((lab) => {
  lab.FS.mkdir('/files');
  lab.FS.chdir('/files');
  return lab;
});

function takeMessages() {
  const taken = messages;
  messages = [];
  return taken;
}

// Memory of the module for the length of one step, freed on every way out.
function withHeap(lab, bytes, use) {
  const pointer = lab._malloc(Math.max(bytes, 1));
  if (pointer === 0) throw new LabError(["Couldn't allocate memory."]);
  try {
    return use(pointer);
  } finally {
    lab._free(pointer);
  }
}

function withString(lab, text, use) {
  const bytes = lab.lengthBytesUTF8(text) + 1;
  return withHeap(lab, bytes, (pointer) => {
    lab.stringToUTF8(text, pointer, bytes);
    return use(pointer);
  });
}

// A failure the page shows as its lines; the document stays as it was.
class LabError extends Error {
  constructor(lines) {
    super(lines.join('\n'));
    this.lines = lines;
  }
}

// A step that a newer request made stale.
class Cancelled extends Error {}

// ---- A helper: runs of lines ---------------------------------------------------------

// One pass object at a time, kept while the engine sends runs of the same
// pass, so its factors are computed once.
function serveLines(port) {
  let pass = 0;
  let key = '';
  port.onmessage = async (event) => {
    const lab = await ready;
    const run = event.data;
    const wanted = `${run.n} ${run.lines} ${run.direction}`;
    if (wanted !== key) {
      if (pass !== 0) lab._labPassFree(pass);
      pass = lab._labPassNew(run.n, run.lines, run.direction);
      key = pass === 0 ? '' : wanted;
    }
    const samples = new Float64Array(run.buffer);
    let failed = pass === 0;
    if (!failed) {
      const pointer = lab._malloc(samples.byteLength);
      failed = pointer === 0;
      if (!failed) {
        lab.HEAPF64.set(samples, pointer / 8);
        lab._labPassRun(pass, pointer, run.count);
        samples.set(lab.HEAPF64.subarray(pointer / 8, pointer / 8 + samples.length));
        lab._free(pointer);
      }
    }
    port.postMessage({job: run.job, first: run.first, count: run.count, buffer: run.buffer, failed},
                     [run.buffer]);
  };
}

// ---- The engine -------------------------------------------------------------------

const engine = {
  doc: 0,
  ports: [],      // one per helper
  job: 0,         // the newest request that may be cancelled
  source: null,   // what was opened: {name, kind, and its bytes or bitmap}
  abortPass: null,  // ends the pass still waiting for runs
};

// Sends progress to the page at most every 100 ms.
function progressReporter(job, total) {
  let done = 0;
  let last = 0;
  return (amount) => {
    done += amount;
    const now = performance.now();
    if (now - last >= 100 || done >= total) {
      last = now;
      postMessage({progress: {job, done, total}});
    }
  };
}

// Lines per run: about 30 ms of work, whole tiles of 8 lines, and at least
// three runs per helper so that they finish together.
function runLength(n, lines, helpers) {
  const byWork = Math.max(8, Math.floor(6e7 / (n * n) / 8) * 8);
  const byShare = Math.max(8, Math.ceil(lines / (helpers * 3) / 8) * 8);
  return Math.min(byWork, byShare, lines);
}

// One pass over the work plane's rows (axis 0) or columns (axis 1), its
// lines shared among the helpers in runs.
function runPass(lab, job, axis, direction, report) {
  const doc = engine.doc;
  const width = lab._labWidth(doc);
  const height = lab._labHeight(doc);
  const n = axis === 0 ? width : height;
  const lines = axis === 0 ? height : width;
  const length = runLength(n, lines, engine.ports.length);
  return new Promise((resolve, reject) => {
    let next = 0;
    let pending = 0;
    let stopped = false;
    // A pass of an older request still waiting for its runs ends here.
    if (engine.abortPass) engine.abortPass();
    engine.abortPass = () => {
      stopped = true;
      reject(new Cancelled());
    };
    const send = (port) => {
      if (next >= lines || stopped) return;
      const first = next;
      const count = Math.min(length, lines - first);
      next += count;
      const bytes = count * n * 16;
      let buffer;
      try {
        buffer = withHeap(lab, bytes, (pointer) => {
          lab._labGather(doc, axis, first, count, pointer);
          return lab.HEAPU8.slice(pointer, pointer + bytes).buffer;
        });
      } catch (error) {
        // No memory for the run (in the module or for its copy).
        stopped = true;
        reject(error instanceof LabError ? error : new LabError(["Couldn't allocate memory."]));
        return;
      }
      pending += 1;
      port.postMessage({job, n, lines, direction, first, count, buffer}, [buffer]);
    };
    for (const port of engine.ports) {
      port.onmessage = (event) => {
        const run = event.data;
        // A run of an older request, which this pass did not send.
        if (run.job !== job) return;
        pending -= 1;
        if (stopped) return;
        // A newer request may already have replaced the work plane: nothing
        // of this one is put back.
        if (job !== engine.job || run.failed) {
          stopped = true;
          reject(run.failed ? new LabError(["Couldn't allocate memory."]) : new Cancelled());
          return;
        }
        const samples = new Uint8Array(run.buffer);
        try {
          withHeap(lab, samples.length, (pointer) => {
            lab.HEAPU8.set(samples, pointer);
            lab._labScatter(doc, axis, run.first, run.count, pointer);
          });
        } catch (error) {
          stopped = true;
          reject(error);
          return;
        }
        report(run.count * n * n);
        if (next < lines) {
          send(event.target);
        } else if (pending === 0) {
          resolve();
        }
      };
      send(port);
    }
  });
}

// The whole transform of the work plane: rows, then columns.
async function transformWork(lab, job, direction) {
  const width = lab._labWidth(engine.doc);
  const height = lab._labHeight(engine.doc);
  const total = width * height * (width + height);
  const report = progressReporter(job, total);
  const start = performance.now();
  await runPass(lab, job, 0, direction, report);
  await runPass(lab, job, 1, direction, report);
  return (performance.now() - start) / 1000;
}

function check(status) {
  if (status !== 0) throw new LabError(takeMessages());
}

function checkCurrent(job) {
  if (job !== engine.job) throw new Cancelled();
}

// ---- Opening ----------------------------------------------------------------------

function writeFile(lab, name, bytes) {
  lab.FS.writeFile(name, bytes);
}

function readFile(lab, name) {
  const bytes = lab.FS.readFile(name);
  lab.FS.unlink(name);
  return bytes;
}

function startsWith(bytes, text) {
  for (let i = 0; i < text.length; ++i) {
    if (bytes[i] !== text.charCodeAt(i)) return false;
  }
  return bytes.length >= text.length;
}

// A spectrum file is one whose name ends in .dat or whose first bytes are
// "CPX"; everything else is a picture.
function isSpectrumFile(name, bytes) {
  return /\.dat$/i.test(name) || startsWith(bytes, 'CPX\0');
}

// The picture at W x H as the browser decodes and scales it, transparency
// laid over black.
async function browserPixels(bitmap, width, height) {
  const canvas = new OffscreenCanvas(width, height);
  const context = canvas.getContext('2d', {alpha: false, willReadFrequently: true});
  context.fillStyle = '#000';
  context.fillRect(0, 0, width, height);
  context.imageSmoothingEnabled = true;
  context.imageSmoothingQuality = 'high';
  context.drawImage(bitmap, 0, 0, width, height);
  return context.getImageData(0, 0, width, height).data;
}

function openPixels(lab, rgba, width, height) {
  withHeap(lab, rgba.length, (pointer) => {
    lab.HEAPU8.set(rgba, pointer);
    check(lab._labOpenPixels(engine.doc, pointer, width, height));
  });
}

// Opens a file the user chose: a spectrum file as specinv reads it, a BMP as
// specfwd reads it (or as the browser decodes it when specfwd refuses it),
// any other picture as the browser decodes it. Returns what the page needs to
// offer sizes; the document is replaced only when the file is good.
async function open(lab, file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  // The name as given, made a plain file name of that folder.
  const name = /^\.{0,2}$/.test(file.name) ? 'picture' : file.name.replace(/[/\\]/g, '_');
  takeMessages();
  if (isSpectrumFile(name, bytes)) {
    writeFile(lab, name, bytes);
    try {
      check(withString(lab, name, (path) => lab._labOpenSpectrum(engine.doc, path)));
    } finally {
      lab.FS.unlink(name);
    }
    engine.source = {name, kind: 'spectrum'};
    return {kind: 'spectrum', name, width: lab._labWidth(engine.doc),
            height: lab._labHeight(engine.doc)};
  }
  let refusal = null;
  if (startsWith(bytes, 'BM')) {
    writeFile(lab, name, bytes);
    const status = withString(lab, name, (path) => lab._labOpenBmp(engine.doc, path));
    lab.FS.unlink(name);
    if (status === 0) {
      engine.source = {name, kind: 'bmp', bytes};
      return {kind: 'picture', name, width: lab._labWidth(engine.doc),
              height: lab._labHeight(engine.doc), decoder: 'specfwd'};
    }
    refusal = takeMessages();
  }
  let bitmap;
  try {
    bitmap = await createImageBitmap(new Blob([bytes]), {colorSpaceConversion: 'none',
                                                          premultiplyAlpha: 'premultiply'});
  } catch (error) {
    throw new LabError(refusal || [`'${name}' is no picture this browser can decode.`]);
  }
  engine.source = {name, kind: 'browser', bitmap};
  return {kind: 'picture', name, width: bitmap.width, height: bitmap.height,
          decoder: 'browser', refusal};
}

// The picture at the working size W x H: the BMP as specfwd decodes it at
// full size, else the browser's pixels scaled.
async function pictureAt(lab, width, height) {
  const source = engine.source;
  if (source.kind === 'bmp') {
    writeFile(lab, source.name, source.bytes);
    const status = withString(lab, source.name, (path) => lab._labOpenBmp(engine.doc, path));
    lab.FS.unlink(source.name);
    check(status);
    if (width === lab._labWidth(engine.doc) && height === lab._labHeight(engine.doc)) return;
    const full = await fullRgba(lab);
    source.bitmap = await createImageBitmap(full);
  }
  openPixels(lab, await browserPixels(source.bitmap, width, height), width, height);
}

// The opened BMP's pixels as an ImageData, for the browser to scale.
function fullRgba(lab) {
  const width = lab._labWidth(engine.doc);
  const height = lab._labHeight(engine.doc);
  const bytes = width * height * 4;
  const pixels = withHeap(lab, bytes, (pointer) => {
    lab._labPictureRgba(engine.doc, pointer);
    return new Uint8ClampedArray(lab.HEAPU8.slice(pointer, pointer + bytes));
  });
  return new ImageData(pixels, width, height);
}

// ---- Results for the page ---------------------------------------------------------

// A picture for the page as an ImageBitmap, drawn here: the page's thread
// only hands it to its canvas, which takes no time even for a large picture.
function pictureOf(lab, fill) {
  const width = lab._labWidth(engine.doc);
  const height = lab._labHeight(engine.doc);
  const bytes = width * height * 4;
  return withHeap(lab, bytes, (pointer) => {
    if (fill(pointer) !== 0) return null;
    const pixels = new Uint8ClampedArray(lab.HEAPU8.buffer, pointer, bytes);
    const canvas = new OffscreenCanvas(width, height);
    canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
    return {width, height, bitmap: canvas.transferToImageBitmap()};
  });
}

const kPictures = {gray: 0, reconstruction: 1};
const kViews = {log: 0, classic: 1, linear: 2, phase: 3};

function picture(lab, which) {
  return pictureOf(lab, (pointer) => lab._labPicture(engine.doc, kPictures[which], pointer));
}

function spectrumPicture(lab, edited, view) {
  return pictureOf(lab, (pointer) =>
    lab._labRenderSpectrum(engine.doc, edited ? 1 : 0, kViews[view], pointer));
}

function transfers(result) {
  const list = [];
  for (const value of Object.values(result)) {
    if (value && value.bitmap) list.push(value.bitmap);
  }
  return list;
}

// ---- Requests ------------------------------------------------------------------------

// The size the page asked for, checked before any memory is taken: the
// module holds at most 4 GiB, and the work needs about 60 bytes a pixel.
function checkSize(name, width, height) {
  const bytes = width * height * 60;
  if (bytes > 3.5 * 2 ** 30) {
    throw new LabError([`'${name}' at ${width} x ${height} needs ${Math.round(bytes / 2 ** 20)} MiB,`
                        + ' more than this page can hold: choose a smaller size.']);
  }
}

const handlers = {
  async open(lab, request) {
    engine.job += 1;
    return open(lab, request.file);
  },

  // The forward transform of the opened picture at the working size, or the
  // inverse of an opened spectrum file (its picture).
  async transform(lab, request, job) {
    const source = engine.source;
    const [width, height] = request.size;
    if (source.kind === 'spectrum') {
      check(lab._labStartInverse(engine.doc, 0));
      const seconds = await transformWork(lab, job, kInverse);
      checkCurrent(job);
      check(withString(lab, source.name, (name) => lab._labInverseDone(engine.doc, 0, name)));
      return {seconds, gray: picture(lab, 'gray'),
              spectrum: spectrumPicture(lab, false, request.view)};
    }
    checkSize(source.name, width, height);
    await pictureAt(lab, width, height);
    checkCurrent(job);
    check(withString(lab, source.name, (name) => lab._labGray(engine.doc, name)));
    const seconds = await transformWork(lab, job, kForward);
    checkCurrent(job);
    check(lab._labForwardDone(engine.doc));
    return {seconds, gray: picture(lab, 'gray'), spectrum: spectrumPicture(lab, false, request.view)};
  },

  // An edit: specfilter's options, and the painted mask when they name it.
  async edit(lab, request, job) {
    if (request.options.length === 0) {
      lab._labClearEdit(engine.doc);
      return {spectrum: spectrumPicture(lab, false, request.view), reconstruction: null};
    }
    if (request.mask) {
      const levels = new Uint8Array(request.mask);
      withHeap(lab, levels.length, (pointer) => {
        lab.HEAPU8.set(levels, pointer);
        check(withString(lab, request.maskName,
                         (path) => lab._labWriteMask(engine.doc, pointer, path)));
      });
    }
    const argv = ['specfilter', ...request.options];
    const status = withHeap(lab, argv.length * 4, (table) => {
      const pointers = argv.map((arg) => {
        const bytes = lab.lengthBytesUTF8(arg) + 1;
        const pointer = lab._malloc(bytes);
        lab.stringToUTF8(arg, pointer, bytes);
        return pointer;
      });
      pointers.forEach((pointer, i) => { lab.HEAP32[table / 4 + i] = pointer; });
      const result = lab._labFilter(engine.doc, argv.length, table);
      pointers.forEach((pointer) => lab._free(pointer));
      return result;
    });
    check(status);
    check(lab._labStartInverse(engine.doc, 1));
    const seconds = await transformWork(lab, job, kInverse);
    checkCurrent(job);
    check(withString(lab, engine.source.name,
                     (name) => lab._labInverseDone(engine.doc, 1, name)));
    return {seconds, spectrum: spectrumPicture(lab, true, request.view),
            reconstruction: picture(lab, 'reconstruction')};
  },

  async view(lab, request) {
    return {spectrum: spectrumPicture(lab, request.edited, request.view)};
  },

  async probe(lab, request) {
    return withHeap(lab, 32, (pointer) => {
      if (lab._labProbe(engine.doc, request.edited ? 1 : 0, request.x, request.y, pointer) !== 0) {
        return null;
      }
      const values = lab.HEAPF64.subarray(pointer / 8, pointer / 8 + 4);
      return {u: values[0], v: values[1], magnitude: values[2], phase: values[3]};
    });
  },

  // A file to download: the spectrum file (edited when there is an edit), or
  // the mask as the BMP that specfilter -m reads.
  async save(lab, request) {
    const name = request.name;
    if (request.what === 'mask') {
      const levels = new Uint8Array(request.mask);
      withHeap(lab, levels.length, (pointer) => {
        lab.HEAPU8.set(levels, pointer);
        check(withString(lab, name, (path) => lab._labWriteMask(engine.doc, pointer, path)));
      });
    } else {
      check(withString(lab, name,
                       (path) => lab._labSaveSpectrum(engine.doc, request.edited ? 1 : 0, path)));
    }
    const bytes = readFile(lab, name);
    return {bytes: bytes.buffer};
  },

  async peaks(lab, request) {
    const count = request.count;
    return withHeap(lab, count * 48, (pointer) => {
      const n = lab._labPeaks(engine.doc, request.edited ? 1 : 0, count, pointer);
      const values = lab.HEAPF64.subarray(pointer / 8, pointer / 8 + 6 * n);
      const list = [];
      for (let i = 0; i < n; ++i) {
        const [u, v, magnitude, phase, x, y] = values.subarray(6 * i, 6 * i + 6);
        list.push({u, v, magnitude, phase, x, y});
      }
      return list;
    });
  },

  // The strongest coefficient near a pixel: what a click on a peak means.
  async near(lab, request) {
    return withHeap(lab, 16, (pointer) => {
      if (lab._labStrongestNear(engine.doc, request.x, request.y, 2, pointer) !== 0) return null;
      const values = lab.HEAPF64.subarray(pointer / 8, pointer / 8 + 2);
      return {u: values[0], v: values[1]};
    });
  },

  async cancel() {
    engine.job += 1;
    if (engine.abortPass) engine.abortPass();
    return {};
  },

  async kernel(lab) {
    return {kernel: lab.UTF8ToString(lab._labKernelName()), helpers: engine.ports.length};
  },
};

// Requests that start work which a newer one makes stale.
const kCancellable = new Set(['transform', 'edit']);

async function serveEngine(event) {
  const request = event.data;
  const lab = await ready;
  if (engine.doc === 0) engine.doc = lab._labNew();
  let job = engine.job;
  if (kCancellable.has(request.op)) job = ++engine.job;
  takeMessages();
  try {
    const result = await handlers[request.op](lab, request, job);
    const lines = takeMessages();
    postMessage({id: request.id, ok: true, result, messages: lines}, transfers(result || {}));
  } catch (error) {
    const lines = error instanceof LabError ? error.lines
                  : error instanceof Cancelled ? []
                  : [String(error && error.message || error)];
    postMessage({id: request.id, ok: false, cancelled: error instanceof Cancelled,
                 messages: lines.concat(takeMessages())});
  }
}

// The first message says what this worker is: the engine gets a port per
// helper; a helper gets the port it serves.
self.onmessage = (event) => {
  const role = event.data;
  if (role.role === 'helper') {
    serveLines(role.port);
    self.onmessage = null;
    return;
  }
  engine.ports = role.ports;
  self.onmessage = serveEngine;
  ready.then(() => postMessage({ready: true}),
             (error) => postMessage({ready: false, messages: [String(error)]}));
};
