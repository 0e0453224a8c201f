// The page: what the user sees and does. All the work happens in the workers
// (worker.js); this thread only asks, draws and offers downloads, so it stays
// responsive however large the picture.
'use strict';

const $ = (id) => document.getElementById(id);

// ---- Workers ----------------------------------------------------------------------

// One engine and as many helpers as the machine has processors (the page's
// address may ask for another count: index.html?helpers=2). The workers'
// source is a string (lab-worker.js), so the page needs no server: a worker
// made from a Blob starts from file:// as from any host.
const params = new URLSearchParams(location.search);
const helperCount = Math.max(1, Math.min(16,
  Number(params.get('helpers')) || navigator.hardwareConcurrency || 1));

function startWorkers() {
  const url = URL.createObjectURL(new Blob([LAB_WORKER_SOURCE], {type: 'text/javascript'}));
  const engine = new Worker(url);
  const ports = [];
  for (let i = 0; i < helperCount; ++i) {
    const helper = new Worker(url);
    const channel = new MessageChannel();
    helper.postMessage({role: 'helper', port: channel.port1}, [channel.port1]);
    ports.push(channel.port2);
  }
  engine.postMessage({role: 'engine', ports}, ports);
  return engine;
}

const engine = startWorkers();
let nextId = 1;
const pending = new Map();

// Sends a request to the engine; resolves with its result, rejects with
// {messages, cancelled}.
function ask(op, fields = {}, transfer = []) {
  const id = nextId++;
  engine.postMessage({op, id, ...fields}, transfer);
  return new Promise((resolve, reject) => pending.set(id, {resolve, reject, op}));
}

const engineReady = new Promise((resolve, reject) => {
  engine.onmessage = (event) => {
    const data = event.data;
    if ('ready' in data) {
      if (data.ready) resolve();
      else reject(data.messages);
      return;
    }
    if (data.progress) {
      showProgress(data.progress);
      return;
    }
    const waiting = pending.get(data.id);
    if (!waiting) return;
    pending.delete(data.id);
    log(data.messages);
    if (data.ok) waiting.resolve(data.result);
    else waiting.reject({messages: data.messages, cancelled: data.cancelled});
  };
  engine.onerror = (event) => reject([`The page's worker failed: ${event.message}`]);
});

// ---- State ------------------------------------------------------------------------

const state = {
  opened: null,       // {kind, name, width, height}: the file as opened
  width: 0,           // the working size of the spectrum
  height: 0,
  ready: false,       // the spectrum of the current working size is there
  edited: false,      // the spectrum shown and saved is the edited one
  editing: 0,         // requests for edits not answered yet
  job: 0,             // the newest transform or edit asked for
  notches: [],        // {u, v, r}
  mask: null,         // gray levels of the centred picture, rows from the top
  maskUsed: false,
  reconstruction: false,
  rate: 1.5e9,        // multiply-adds a second of one helper, until measured
};

// ---- Messages ---------------------------------------------------------------------

function log(lines) {
  if (!lines || lines.length === 0) return;
  $('log').textContent += lines.join('\n') + '\n';
}

function showMessage(lines) {
  const box = $('message');
  const text = Array.isArray(lines) ? lines.filter((l) => l !== '').join('\n') : String(lines);
  box.textContent = text;
  box.hidden = text === '';
}

function setStatus(text) {
  $('status').textContent = text;
}

// The body's data-state is "busy" while a transform or an edit runs,
// data-settled counts the requests that ended and data-seconds holds the
// last transform's time, for whoever waits on the page or measures it.
function setBusy(busy) {
  $('work').hidden = !busy;
  document.body.dataset.state = busy ? 'busy' : 'idle';
  if (!busy) {
    $('progress').value = 0;
    settled();
  }
  updateSaves();
}

function settled() {
  document.body.dataset.settled = Number(document.body.dataset.settled || 0) + 1;
}

function showProgress(progress) {
  if (progress.job !== undefined && progress.total > 0) {
    $('progress').value = progress.done / progress.total;
  }
}

function failed(error) {
  if (error && error.cancelled) return;
  showMessage(error && error.messages ? error.messages : [String(error)]);
}

// ---- Sizes --------------------------------------------------------------------------

// The complex multiply-adds of a W x H transform: W H (W + H).
function workOf(width, height) {
  return width * height * (width + height);
}

function duration(seconds) {
  if (seconds < 1) return 'under a second';
  if (seconds < 90) return `about ${Math.round(seconds)} s`;
  return `about ${Math.round(seconds / 60)} min`;
}

// The long side of 512 by default; smaller and larger choices, and the full
// size, each with the time it should take here.
function sizeChoices(width, height) {
  const long = Math.max(width, height);
  const choices = [];
  for (const side of [256, 512, 1024, 2048]) {
    if (side >= long) break;
    choices.push([Math.max(2, Math.round(width * side / long)),
                  Math.max(2, Math.round(height * side / long)), side === 512]);
  }
  choices.push([width, height, long <= 512]);
  return choices;
}

function fillSizes() {
  const select = $('size');
  select.textContent = '';
  const {width, height} = state.opened;
  for (const [w, h, chosen] of sizeChoices(width, height)) {
    const option = document.createElement('option');
    option.value = `${w}x${h}`;
    const full = w === width && h === height ? ', full size' : '';
    option.textContent = `${w} × ${h}${full} (${duration(workOf(w, h) / (state.rate * helperCount))})`;
    option.selected = chosen;
    select.append(option);
  }
  $('sizeLabel').hidden = state.opened.kind !== 'picture';
}

function chosenSize() {
  const [w, h] = $('size').value.split('x').map(Number);
  return [w, h];
}

// ---- Drawing ------------------------------------------------------------------------

// The pictures come from the engine as ImageBitmaps, handed to their canvas
// whole.
function draw(canvas, picture) {
  if (!picture) return;
  canvas.width = picture.width;
  canvas.height = picture.height;
  canvas.getContext('bitmaprenderer').transferFromImageBitmap(picture.bitmap);
}

function clearCanvas(canvas) {
  canvas.getContext('bitmaprenderer').transferFromImageBitmap(null);
}

// Where natural index i of a side of n lies in the centred picture (and back:
// the quadrant swap exchanges disjoint pairs). An odd side's last index stays.
function centred(i, n) {
  const half = Math.floor(n / 2);
  if (i >= 2 * half) return i;
  return i < half ? i + half : i - half;
}

// The pixel (x, y, from the top-left) that shows frequency (u, v).
function pixelOf(u, v) {
  const w = state.width;
  const h = state.height;
  return [centred(((u % w) + w) % w, w), h - 1 - centred(((v % h) + h) % h, h)];
}

// The pixel that shows the mirror of the frequency at pixel (x, y).
function mirrorPixel(x, y) {
  const w = state.width;
  const h = state.height;
  const u = centred(x, w);
  const v = centred(h - 1 - y, h);
  return [centred((w - u) % w, w), h - 1 - centred((h - v) % h, h)];
}

// The mask in red over the spectrum, the notches as rings.
function drawOverlay() {
  const canvas = $('overlay');
  canvas.width = state.width;
  canvas.height = state.height;
  const context = canvas.getContext('2d');
  if (state.maskUsed) {
    const pixels = context.createImageData(state.width, state.height);
    for (let i = 0; i < state.mask.length; ++i) {
      const cut = 255 - state.mask[i];
      if (cut === 0) continue;
      pixels.data[4 * i] = 255;
      pixels.data[4 * i + 1] = 40;
      pixels.data[4 * i + 2] = 40;
      pixels.data[4 * i + 3] = Math.round(cut * 0.6);
    }
    context.putImageData(pixels, 0, 0);
  }
  context.strokeStyle = '#ffd400';
  context.lineWidth = Math.max(1, state.width / 256);
  for (const notch of state.notches) {
    for (const [u, v] of [[notch.u, notch.v], [-notch.u, -notch.v]]) {
      const [x, y] = pixelOf(u, v);
      context.beginPath();
      context.arc(x + 0.5, y + 0.5, Math.max(notch.r, 1) + 2 * context.lineWidth, 0, 2 * Math.PI);
      context.stroke();
    }
  }
}

// ---- Opening ------------------------------------------------------------------------

async function openFile(file) {
  if (!file) return;
  showMessage('');
  const status = $('status').textContent;
  setStatus(`Opening ${file.name}…`);
  let opened;
  try {
    opened = await ask('open', {file});
  } catch (error) {
    // What the page had stays as it was.
    failed(error);
    setStatus(state.ready ? status : 'Open a picture.');
    settled();
    return;
  }
  state.opened = opened;
  if (opened.refusal) log([`(${opened.name}: specfwd refuses it; the browser decodes it.)`]);
  fillSizes();
  $('grayCaption').textContent = opened.kind === 'spectrum'
    ? `The file's picture (specinv ${opened.name})` : `Gray picture of ${opened.name}`;
  await transform(opened.kind === 'spectrum' ? [opened.width, opened.height] : chosenSize());
}

// The forward transform at a working size (or the inverse of an opened
// spectrum file). Everything made before is dropped.
async function transform(size) {
  const job = ++state.job;
  state.ready = false;
  state.edited = false;
  state.reconstruction = false;
  setBusy(true);
  setStatus(`Transforming ${size[0]} × ${size[1]}…`);
  try {
    const result = await ask('transform', {size, view: $('view').value});
    if (job !== state.job) return;
    state.width = size[0];
    state.height = size[1];
    for (const frame of document.querySelectorAll('.frame')) {
      frame.style.aspectRatio = `${size[0]} / ${size[1]}`;
    }
    state.rate = workOf(size[0], size[1]) / result.seconds / helperCount;
    document.body.dataset.seconds = result.seconds;
    state.notches = [];
    state.mask = new Uint8Array(size[0] * size[1]).fill(255);
    state.maskUsed = false;
    draw($('gray'), result.gray);
    draw($('spectrum'), result.spectrum);
    clearCanvas($('reconstruction'));
    drawOverlay();
    state.ready = true;
    showEdit();
    showPeaks();
    fillSizesKeeping();
    setStatus(`${size[0]} × ${size[1]}: transformed in ${result.seconds.toFixed(2)} s ` +
              `by ${helperCount} worker${helperCount > 1 ? 's' : ''}.`);
  } catch (error) {
    if (job !== state.job) return;
    failed(error);
    setStatus(error.cancelled ? 'Cancelled.' : 'Not transformed.');
  } finally {
    if (job === state.job) setBusy(false);
  }
}

// The estimates change once a transform has measured this machine.
function fillSizesKeeping() {
  if (!state.opened || state.opened.kind !== 'picture') return;
  const value = $('size').value;
  fillSizes();
  $('size').value = value;
}

// ---- Edits ------------------------------------------------------------------------

function positive(text) {
  const value = Number(text);
  return text.trim() !== '' && Number.isFinite(value) && value > 0;
}

// specfilter's options for the edit on the page, in the order specfilter
// records them; null with a reason when a value is no good.
function filterOptions() {
  const options = [];
  const kind = $('filterKind').value;
  const shape = $('shape').value;
  const r1 = $('radius1').value.trim();
  const r2 = $('radius2').value.trim();
  const order = $('order').value.trim();
  const factors = kind !== '' || state.notches.length > 0 || state.maskUsed;
  if (factors && shape === 'g') options.push('-g');
  if (factors && shape === 'o') {
    if (!/^[1-9][0-9]*$/.test(order)) return {error: 'The Butterworth order is a whole number from 1 on.'};
    options.push(`-o${order}`);
  }
  if (kind === 'l' || kind === 'e') {
    if (!positive(r1)) return {error: 'The radius is a positive number.'};
    options.push(`-${kind}${r1}`);
  } else if (kind === 'b' || kind === 'r') {
    if (!positive(r1) || !positive(r2) || !(Number(r1) < Number(r2))) {
      return {error: 'The ring is two positive radii, the smaller first.'};
    }
    options.push(`-${kind}${r1},${r2}`);
  }
  for (const notch of state.notches) options.push(`-n${notch.u},${notch.v},${notch.r}`);
  if (state.maskUsed) options.push('-mmask.bmp');
  return {options};
}

function showEdit() {
  $('outerLabel').hidden = !['b', 'r'].includes($('filterKind').value);
  $('orderLabel').hidden = $('shape').value !== 'o';
  const list = $('notches');
  list.textContent = '';
  state.notches.forEach((notch, i) => {
    const item = document.createElement('li');
    item.textContent = `(${notch.u}, ${notch.v}) radius ${notch.r}`;
    const remove = document.createElement('button');
    remove.type = 'button';
    remove.textContent = 'remove';
    remove.onclick = () => {
      state.notches.splice(i, 1);
      drawOverlay();
      edit();
    };
    item.append(remove);
    list.append(item);
  });
}

let editTimer = 0;

// Recomputes the edit shortly after the last change; a newer edit cancels a
// stale one.
function edit() {
  showEdit();
  clearTimeout(editTimer);
  editTimer = setTimeout(runEdit, 120);
}

async function runEdit() {
  if (!state.ready) return;
  const {options, error} = filterOptions();
  const command = $('command');
  if (error) {
    showMessage(error);
    settled();
    return;
  }
  showMessage('');
  command.textContent = options.length === 0 ? '(no edit)'
    : `specfilter ${options.join(' ')} dft_complex.dat dft_filtered.dat`;
  const job = ++state.job;
  state.reconstruction = false;
  state.edited = options.length > 0;
  setBusy(true);
  const fields = {options, view: $('view').value};
  const transfer = [];
  if (state.maskUsed) {
    fields.mask = state.mask.slice().buffer;
    fields.maskName = 'mask.bmp';
    transfer.push(fields.mask);
  }
  try {
    const result = await ask('edit', fields, transfer);
    if (job !== state.job) return;
    draw($('spectrum'), result.spectrum);
    if (result.reconstruction) {
      draw($('reconstruction'), result.reconstruction);
      state.reconstruction = true;
      document.body.dataset.seconds = result.seconds;
      setStatus(`Edited: reconstructed in ${result.seconds.toFixed(2)} s.`);
      showPeaks();
    } else {
      clearCanvas($('reconstruction'));
      setStatus('No edit.');
      showPeaks();
    }
  } catch (error) {
    if (job !== state.job) return;
    failed(error);
    if (!error.cancelled) setStatus('The edit failed.');
  } finally {
    if (job === state.job) setBusy(false);
  }
}

// ---- The strongest coefficients ---------------------------------------------------

// |F| and the phase as specinfo -p prints them.
function magnitudeText(value) {
  return Number(value.toPrecision(9)).toString();
}

async function showPeaks() {
  const body = document.querySelector('#peaks tbody');
  let peaks;
  try {
    peaks = await ask('peaks', {count: 10, edited: state.edited});
  } catch (error) {
    failed(error);
    return;
  }
  body.textContent = '';
  for (const peak of peaks) {
    const row = document.createElement('tr');
    for (const text of [`(${peak.u}, ${peak.v})`, magnitudeText(peak.magnitude),
                        peak.phase.toFixed(6), `(${peak.x}, ${peak.y})`]) {
      const cell = document.createElement('td');
      cell.textContent = text;
      row.append(cell);
    }
    row.title = `Remove (${peak.u}, ${peak.v}) and its mirror with a notch`;
    row.onclick = () => addNotch(peak.u, peak.v);
    body.append(row);
  }
}

// ---- The pointer on the spectrum ---------------------------------------------------

function samplePoint(event) {
  const canvas = $('overlay');
  const box = canvas.getBoundingClientRect();
  const x = Math.floor((event.clientX - box.left) / box.width * state.width);
  const y = Math.floor((event.clientY - box.top) / box.height * state.height);
  if (x < 0 || y < 0 || x >= state.width || y >= state.height) return null;
  return [x, y];
}

let probing = false;
let probeNext = null;

async function probe(point) {
  if (probing) {
    probeNext = point;
    return;
  }
  probing = true;
  try {
    const value = await ask('probe', {x: point[0], y: point[1], edited: state.edited});
    if (value) {
      $('probe').textContent =
        `(u, v) = (${value.u}, ${value.v}) as specfilter -n takes it · |F| ${magnitudeText(value.magnitude)}` +
        ` · phase ${value.phase.toFixed(6)} rad · pixel (${point[0]}, ${point[1]}) of PowerSpectrum.bmp from its top-left`;
    }
  } catch (error) {
    failed(error);
  } finally {
    probing = false;
    if (probeNext) {
      const next = probeNext;
      probeNext = null;
      probe(next);
    }
  }
}

function tool() {
  return document.querySelector('input[name="tool"]:checked').value;
}

// Paints a disc of the brush's radius at (x, y), and at its mirror when the
// mask is kept symmetric.
function stamp(x, y) {
  const radius = Math.max(1, Number($('brushRadius').value) || 1);
  const level = tool() === 'brush' ? 0 : 255;
  const points = [[x, y]];
  if ($('symmetric').checked) points.push(mirrorPixel(x, y));
  const r = Math.ceil(radius);
  for (const [cx, cy] of points) {
    for (let dy = -r; dy <= r; ++dy) {
      for (let dx = -r; dx <= r; ++dx) {
        if (dx * dx + dy * dy > radius * radius) continue;
        const px = cx + dx;
        const py = cy + dy;
        if (px < 0 || py < 0 || px >= state.width || py >= state.height) continue;
        state.mask[py * state.width + px] = level;
      }
    }
  }
  state.maskUsed = state.mask.some((value) => value !== 255);
}

let painting = null;

function paintTo(point) {
  const [x0, y0] = painting;
  const [x1, y1] = point;
  const steps = Math.max(1, Math.ceil(Math.hypot(x1 - x0, y1 - y0)));
  for (let i = 1; i <= steps; ++i) {
    stamp(Math.round(x0 + (x1 - x0) * i / steps), Math.round(y0 + (y1 - y0) * i / steps));
  }
  painting = point;
  drawOverlay();
}

async function notchAt(point) {
  try {
    const peak = await ask('near', {x: point[0], y: point[1]});
    if (!peak) return;
    addNotch(peak.u, peak.v);
  } catch (error) {
    failed(error);
  }
}

function addNotch(u, v) {
  const r = $('notchRadius').value.trim();
  if (!positive(r)) {
    showMessage('The notch radius is a positive number.');
    return;
  }
  const same = (n) => (n.u === u && n.v === v) || (n.u === -u && n.v === -v);
  if (state.notches.some(same)) return;
  state.notches.push({u, v, r});
  drawOverlay();
  edit();
}

function setUpPointer() {
  const overlay = $('overlay');
  overlay.addEventListener('pointermove', (event) => {
    if (!state.ready) return;
    const point = samplePoint(event);
    if (!point) return;
    if (painting) paintTo(point);
    probe(point);
  });
  overlay.addEventListener('pointerdown', (event) => {
    if (!state.ready) return;
    const point = samplePoint(event);
    if (!point) return;
    if (tool() === 'notch') {
      notchAt(point);
      return;
    }
    overlay.setPointerCapture(event.pointerId);
    painting = point;
    stamp(point[0], point[1]);
    drawOverlay();
  });
  const stop = () => {
    if (!painting) return;
    painting = null;
    edit();
  };
  overlay.addEventListener('pointerup', stop);
  overlay.addEventListener('pointercancel', stop);
}

// ---- Saving -------------------------------------------------------------------------

function download(name, blob) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

function savePng(canvas, name) {
  canvas.toBlob((blob) => download(name, blob), 'image/png');
}

// Only what is whole is offered: nothing while a transform or an edit runs.
function updateSaves() {
  const busy = document.body.dataset.state === 'busy';
  $('saveSpectrum').disabled = busy || !state.ready;
  $('saveGray').disabled = busy || !state.ready;
  $('saveView').disabled = busy || !state.ready;
  $('saveReconstruction').disabled = busy || !state.reconstruction;
  $('saveMask').disabled = busy || !state.ready || !state.maskUsed;
}

async function saveFile(what) {
  const edited = state.edited;
  const name = what === 'mask' ? 'mask.bmp' : edited ? 'dft_filtered.dat' : 'dft_complex.dat';
  const fields = {what, name, edited};
  const transfer = [];
  if (what === 'mask') {
    fields.mask = state.mask.slice().buffer;
    transfer.push(fields.mask);
  }
  try {
    const result = await ask('save', fields, transfer);
    download(name, new Blob([result.bytes], {type: 'application/octet-stream'}));
  } catch (error) {
    failed(error);
  } finally {
    settled();
  }
}

// ---- Set-up -------------------------------------------------------------------------

function setUp() {
  $('file').addEventListener('change', (event) => {
    openFile(event.target.files[0]);
    event.target.value = '';
  });
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', (event) => {
    event.preventDefault();
    openFile(event.dataTransfer.files[0]);
  });
  $('size').addEventListener('change', () => transform(chosenSize()));
  $('cancel').addEventListener('click', () => {
    state.job += 1;
    ask('cancel').catch(() => {});
    setBusy(false);
    setStatus('Cancelled.');
  });
  $('view').addEventListener('change', async () => {
    if (!state.ready) return;
    try {
      const result = await ask('view', {view: $('view').value, edited: state.edited});
      draw($('spectrum'), result.spectrum);
    } catch (error) {
      failed(error);
    } finally {
      settled();
    }
  });
  for (const id of ['filterKind', 'radius1', 'radius2', 'shape', 'order', 'notchRadius']) {
    $(id).addEventListener('change', edit);
  }
  $('clearMask').addEventListener('click', () => {
    if (!state.mask) return;
    state.mask.fill(255);
    state.maskUsed = false;
    drawOverlay();
    edit();
  });
  $('saveSpectrum').addEventListener('click', () => saveFile('spectrum'));
  $('saveMask').addEventListener('click', () => saveFile('mask'));
  $('saveGray').addEventListener('click', () => savePng($('gray'), 'SourceToGray.png'));
  $('saveView').addEventListener('click', () => savePng($('spectrum'), 'PowerSpectrum.png'));
  $('saveReconstruction').addEventListener('click',
    () => savePng($('reconstruction'), 'idft_2D.png'));
  setUpPointer();
  engineReady.then(async () => {
    const info = await ask('kernel');
    setStatus(`Ready: kernel ${info.kernel}, ${info.helpers} worker${info.helpers > 1 ? 's' : ''}. Open a picture.`);
    setBusy(false);
  }, (lines) => {
    showMessage(['The library did not load in this browser (it needs WebAssembly with SIMD).']
      .concat(lines || []));
    setStatus('Not ready.');
  });
}

setUp();
