// The page's entry points into the library: one document (a picture or a
// spectrum file, its spectrum, the edited spectrum and the pictures made of
// them) and the steps the page's workers take on it. Every number comes from
// the library's own operations and the programs' own input steps, so the page
// reads, refuses, filters and writes files as the programs do. Files pass
// through the module's in-memory file system under the names the user sees.
//
// Each function returns 0 or a status of the library's (SpecStatus) after its
// messages on standard error, which the page shows; pointers handed out stay
// the document's. JavaScript calls them by name (EMSCRIPTEN_KEEPALIVE).
#include <emscripten/emscripten.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bmpinput.h"
#include "commandline.h"
#include "dftkernel.h"
#include "request.h"
#include "speccore.h"
#include "spectruminput.h"

using namespace speccore;

namespace {

// Everything the page knows of what it opened. Planes are W x H; pictures
// keep row 0 as the bottom row, spectra are in natural order.
struct LabDocument {
  int32_t width = 0, height = 0;
  Plane picture = nullptr;         // Pixel32: the picture as opened; null for a spectrum file
  Plane gray = nullptr;            // Pixel32: the gray picture, or the file's inverse
  Plane spectrum = nullptr;        // Complex: as transformed or loaded
  char* text = nullptr;            // the spectrum's text: "" for a picture's
  Plane edited = nullptr;          // Complex: the spectrum times the filter; null before an edit
  char* editedText = nullptr;      // the text with the filter's line
  Plane work = nullptr;            // Complex: the plane the workers' passes go through
  Plane reconstruction = nullptr;  // Pixel32: the inverse of the edited spectrum
};

void freePlane(Plane* plane) {
  std::free(*plane);
  *plane = nullptr;
}

void freeText(char** text) {
  std::free(*text);
  *text = nullptr;
}

// Forgets everything made from the previous picture or file.
void clearDocument(LabDocument* doc) {
  freePlane(&doc->picture);
  freePlane(&doc->gray);
  freePlane(&doc->spectrum);
  freeText(&doc->text);
  freePlane(&doc->edited);
  freeText(&doc->editedText);
  freePlane(&doc->work);
  freePlane(&doc->reconstruction);
  doc->width = doc->height = 0;
}

size_t samplesOf(const LabDocument* doc) { return size_t(doc->width) * size_t(doc->height); }

// A new plane holding a copy of `source`'s samples, or null after the
// library's memory message.
Plane copyComplex(const LabDocument* doc, Plane source) {
  Plane copy = planeAlloc(sizeof(Complex), doc->width, doc->height);
  if (copy == nullptr) {
    std::fputs("Couldn't allocate memory.\n", stderr);
    return nullptr;
  }
  std::memcpy(copy[0], source[0], samplesOf(doc) * sizeof(Complex));
  return copy;
}

Plane newPixels(const LabDocument* doc) {
  Plane pixels = planeAlloc(sizeof(Pixel32), doc->width, doc->height);
  if (pixels == nullptr) std::fputs("Couldn't allocate memory. destination\n", stderr);
  return pixels;
}

// A picture plane as the canvas takes it: rows from the top, R, G, B, A.
void toRgba(const LabDocument* doc, Plane pixels, uint8_t* rgba) {
  for (int32_t y = 0; y < doc->height; ++y) {
    const Pixel32* row = pixelRow(pixels, doc->height - 1 - y);
    uint8_t* out = rgba + size_t(y) * size_t(doc->width) * 4;
    for (int32_t x = 0; x < doc->width; ++x, out += 4) {
      out[0] = row[x].red;
      out[1] = row[x].green;
      out[2] = row[x].blue;
      out[3] = 255;
    }
  }
}

// The plane a step works on: 0 the spectrum, 1 the edited spectrum.
Plane spectrumPlane(const LabDocument* doc, int which) {
  return which == 0 ? doc->spectrum : doc->edited;
}

// Where swapQuadrants puts natural index i of a side of n (and takes it
// from: the swap exchanges disjoint pairs): the first 2 (n/2) indices move
// by half, an odd side's last stays.
int32_t centredIndex(int32_t i, int32_t n) {
  const int32_t half = n / 2;
  if (i >= 2 * half) return i;
  return i < half ? i + half : i - half;
}

// The frequency of natural index i of a side of n, as specfilter -n takes it.
int32_t frequencyOf(int32_t i, int32_t n) { return i <= n / 2 ? i : i - n; }

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE LabDocument* labNew() { return new LabDocument(); }

EMSCRIPTEN_KEEPALIVE void labFree(LabDocument* doc) {
  clearDocument(doc);
  delete doc;
}

EMSCRIPTEN_KEEPALIVE int32_t labWidth(const LabDocument* doc) { return doc->width; }
EMSCRIPTEN_KEEPALIVE int32_t labHeight(const LabDocument* doc) { return doc->height; }

// ---- Opening ------------------------------------------------------------------

// A BMP file in the file system, read as specfwd reads its input: its
// messages and statuses. The document is replaced only on success.
EMSCRIPTEN_KEEPALIVE int labOpenBmp(LabDocument* doc, const char* path) {
  BmpPicture picture;
  const int status = bmpInputDecode(path, &picture);
  if (status != kStatusOk) return status;
  clearDocument(doc);
  doc->picture = picture.pixels;
  doc->width = picture.width;
  doc->height = picture.height;
  return kStatusOk;
}

// Pixels the browser decoded: W x H, rows from the top, R, G, B, A with the
// transparency already laid over black (the alpha is not read).
EMSCRIPTEN_KEEPALIVE int labOpenPixels(LabDocument* doc, const uint8_t* rgba, int32_t width,
                                       int32_t height) {
  Plane picture = planeAlloc(sizeof(Pixel32), width, height);
  if (picture == nullptr) {
    std::fputs("Couldn't allocate memory. source\n", stderr);
    return kStatusMemory;
  }
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = rgba + size_t(height - 1 - y) * size_t(width) * 4;
    Pixel32* row = pixelRow(picture, y);
    for (int32_t x = 0; x < width; ++x, in += 4) row[x] = Pixel32{in[2], in[1], in[0], 0};
  }
  clearDocument(doc);
  doc->picture = picture;
  doc->width = width;
  doc->height = height;
  return kStatusOk;
}

// The opened picture as the canvas takes it, for the browser to scale down.
EMSCRIPTEN_KEEPALIVE void labPictureRgba(const LabDocument* doc, uint8_t* rgba) {
  toRgba(doc, doc->picture, rgba);
}

// A spectrum file in the file system, read and checked as specinv reads its
// input: its messages and statuses. The samples and text are copied out of
// the loaded block. The document is replaced only on success.
EMSCRIPTEN_KEEPALIVE int labOpenSpectrum(LabDocument* doc, const char* path) {
  uint8_t* file = nullptr;
  SpectrumView view;
  char* text = nullptr;
  int status = spectrumViewLoad(path, &file, &view, &text);
  Plane samples = nullptr;
  if (status == kStatusOk) {
    samples = planeAlloc(sizeof(Complex), view.width, view.height);
    if (samples == nullptr) {
      std::fputs("Couldn't allocate memory. source\n", stderr);
      status = kStatusMemory;
    } else {
      for (int32_t y = 0; y < view.height; ++y)
        std::memcpy(samples[y], view.samples[y], size_t(view.width) * sizeof(Complex));
    }
  }
  std::free(view.samples);
  std::free(file);
  if (status != kStatusOk) {
    std::free(text);
    return status;
  }
  clearDocument(doc);
  doc->spectrum = samples;
  doc->text = text;
  doc->width = view.width;
  doc->height = view.height;
  return kStatusOk;
}

// ---- The forward transform ------------------------------------------------------

// The gray picture and the samples to transform, as specfwd makes them;
// `name` names the picture in the messages. Returns kExitTooSmall for a
// picture 1 pixel wide or high, as specfwd refuses it.
EMSCRIPTEN_KEEPALIVE int labGray(LabDocument* doc, const char* name) {
  if (doc->width <= 1 || doc->height <= 1) {
    std::fprintf(stderr, "'%s' too small to transform(%d x %d)\n", name, doc->width, doc->height);
    return kExitTooSmall;
  }
  freePlane(&doc->gray);
  freePlane(&doc->work);
  doc->gray = newPixels(doc);
  doc->work = planeAlloc(sizeof(Complex), doc->width, doc->height);
  if (doc->gray == nullptr || doc->work == nullptr) {
    if (doc->work == nullptr) std::fputs("Couldn't allocate memory.\n", stderr);
    freePlane(&doc->gray);
    freePlane(&doc->work);
    return kStatusMemory;
  }
  // pictureToGray turns the pixels it reads into gray: the opened picture
  // stays as it is for another working size.
  std::memcpy(doc->gray[0], doc->picture[0], samplesOf(doc) * sizeof(Pixel32));
  pictureToGray(doc->gray, doc->work, doc->width, doc->height, 1);
  return kStatusOk;
}

// The work plane for an inverse transform: a copy of the spectrum (0) or of
// the edited spectrum (1).
EMSCRIPTEN_KEEPALIVE int labStartInverse(LabDocument* doc, int which) {
  freePlane(&doc->work);
  doc->work = copyComplex(doc, spectrumPlane(doc, which));
  return doc->work == nullptr ? kStatusMemory : kStatusOk;
}

// Copies lines of the work plane out for a worker: `axis` 0 takes rows
// first ... first + count - 1 (lines of W samples), 1 takes those columns,
// each laid out as a line of H samples.
EMSCRIPTEN_KEEPALIVE void labGather(const LabDocument* doc, int axis, int32_t first, int32_t count,
                                    Complex* lines) {
  Plane work = doc->work;
  if (axis == 0) {
    for (int32_t l = 0; l < count; ++l)
      std::memcpy(lines + size_t(l) * size_t(doc->width), work[first + l],
                  size_t(doc->width) * sizeof(Complex));
    return;
  }
  for (int32_t y = 0; y < doc->height; ++y) {
    const Complex* row = complexRow(work, y) + first;
    for (int32_t l = 0; l < count; ++l) lines[size_t(l) * size_t(doc->height) + size_t(y)] = row[l];
  }
}

// Puts a worker's transformed lines back where labGather took them.
EMSCRIPTEN_KEEPALIVE void labScatter(LabDocument* doc, int axis, int32_t first, int32_t count,
                                     const Complex* lines) {
  Plane work = doc->work;
  if (axis == 0) {
    for (int32_t l = 0; l < count; ++l)
      std::memcpy(work[first + l], lines + size_t(l) * size_t(doc->width),
                  size_t(doc->width) * sizeof(Complex));
    return;
  }
  for (int32_t y = 0; y < doc->height; ++y) {
    Complex* row = complexRow(work, y) + first;
    for (int32_t l = 0; l < count; ++l) row[l] = lines[size_t(l) * size_t(doc->height) + size_t(y)];
  }
}

// The forward transform is done: the work plane becomes the spectrum, with no
// text, as specfwd writes it.
EMSCRIPTEN_KEEPALIVE int labForwardDone(LabDocument* doc) {
  char* text = static_cast<char*>(std::calloc(1, 1));
  if (text == nullptr) {
    std::fputs("Couldn't allocate memory.\n", stderr);
    return kStatusMemory;
  }
  freePlane(&doc->spectrum);
  freeText(&doc->text);
  freePlane(&doc->edited);
  freeText(&doc->editedText);
  freePlane(&doc->reconstruction);
  doc->spectrum = doc->work;
  doc->work = nullptr;
  doc->text = text;
  return kStatusOk;
}

// The inverse transform is done: its real parts become the picture drawn as
// specinv draws it, the reconstruction of the edited spectrum (which 1) or
// the picture of an opened spectrum file (0). Returns kExitUnknownFile
// after specinv's lines when a real part is not finite, for which there is
// no gray picture.
EMSCRIPTEN_KEEPALIVE int labInverseDone(LabDocument* doc, int which, const char* name) {
  Plane pixels = newPixels(doc);
  int status = pixels != nullptr ? inverseToImage(doc->work, pixels, doc->width, doc->height, 1)
                                 : int(kStatusMemory);
  freePlane(&doc->work);
  if (status == kStatusNotFinite) {
    std::fputs("Inverse transform not finite.\n", stderr);
    std::fprintf(stderr, "'%s' unknown file\n", name);
  }
  if (status != kStatusOk) {
    freePlane(&pixels);
    return exitStatusOf(status);
  }
  Plane* target = which == 0 ? &doc->gray : &doc->reconstruction;
  freePlane(target);
  *target = pixels;
  return kStatusOk;
}

// ---- A worker's share of a transform ----------------------------------------------

// A pass over lines of n samples in a worker, `lines` of them in the whole
// pass; null without memory. The kernels are the widest this module runs.
EMSCRIPTEN_KEEPALIVE DftLinePass* labPassNew(int32_t n, int32_t lines, int direction) {
  DftOptions options;
  options.isa = &dftBestIsa();
  return dftLinePassNew(n, lines, direction, options);
}

EMSCRIPTEN_KEEPALIVE void labPassRun(DftLinePass* pass, Complex* lines, int32_t count) {
  dftLinePassRun(pass, lines, count, nullptr);
}

EMSCRIPTEN_KEEPALIVE void labPassFree(DftLinePass* pass) { dftLinePassFree(pass); }

// The name of the kernels labPassNew takes: "wasm" where the engine runs
// WebAssembly SIMD.
EMSCRIPTEN_KEEPALIVE const char* labKernelName() { return dftBestIsa().name; }

// ---- Pictures -------------------------------------------------------------------

enum LabPicture { kLabGray, kLabReconstruction };

// A picture of the document as RGBA rows from the top; 1 when it has none.
EMSCRIPTEN_KEEPALIVE int labPicture(const LabDocument* doc, int which, uint8_t* rgba) {
  const Plane plane = which == kLabGray ? doc->gray : doc->reconstruction;
  if (plane == nullptr) return 1;
  toRgba(doc, plane, rgba);
  return kStatusOk;
}

enum LabView { kViewLogMagnitude, kViewClassicLog, kViewLinear, kViewPhase };

// The centred spectrum (which 0) or edited spectrum (1) drawn as `view`
// into RGBA rows from the top: exactly the pixels of specshow's pictures
// read from the top: -l (kViewLogMagnitude), PowerSpectrum.bmp
// (kViewClassicLog), -n (kViewLinear) and -p (kViewPhase).
EMSCRIPTEN_KEEPALIVE int labRenderSpectrum(const LabDocument* doc, int which, int view,
                                           uint8_t* rgba) {
  const Plane source = spectrumPlane(doc, which);
  if (source == nullptr) return 1;
  Plane centred = copyComplex(doc, source);
  Plane pixels = newPixels(doc);
  int status = kStatusMemory;
  if (centred != nullptr && pixels != nullptr) {
    swapQuadrants(centred, doc->width, doc->height, 1);
    if (view == kViewLogMagnitude)
      renderLogMagnitude(centred, pixels, doc->width, doc->height, 1);
    else if (view == kViewPhase)
      renderPhase(centred, pixels, doc->width, doc->height, 1);
    else
      renderPowerSpectrum(centred, pixels, doc->width, doc->height, view == kViewLinear, 1);
    toRgba(doc, pixels, rgba);
    status = kStatusOk;
  }
  std::free(centred);
  std::free(pixels);
  return status;
}

// What the pointer shows at pixel (x, y) of the centred picture counted from
// its top-left corner, as a picture viewer counts PowerSpectrum.bmp: out
// receives u and v as specfilter -n takes them, |F| and the phase in radians
// of the sample of the spectrum (which 0) or edited spectrum (1). Returns 1
// outside the picture.
EMSCRIPTEN_KEEPALIVE int labProbe(const LabDocument* doc, int which, int32_t x, int32_t y,
                                  double* out) {
  const Plane source = spectrumPlane(doc, which);
  if (source == nullptr || x < 0 || y < 0 || x >= doc->width || y >= doc->height) return 1;
  const int32_t u = centredIndex(x, doc->width);
  const int32_t v = centredIndex(doc->height - 1 - y, doc->height);
  const Complex f = complexRow(source, v)[u];
  out[0] = frequencyOf(u, doc->width);
  out[1] = frequencyOf(v, doc->height);
  // |F| and the angle as spectrumPeaks names them: -0 counts as 0.
  out[2] = std::sqrt(f.re * f.re + f.im * f.im);
  out[3] = std::atan2(f.im == 0.0 ? 0.0 : f.im, f.re == 0.0 ? 0.0 : f.re);
  return kStatusOk;
}

// The `count` strongest coefficients of the spectrum (which 0) or edited
// spectrum (1) as spectrumPeaks lists them, 6 doubles each into out: u, v,
// |F|, phase, x, y. Returns how many.
EMSCRIPTEN_KEEPALIVE int32_t labPeaks(const LabDocument* doc, int which, int32_t count,
                                      double* out) {
  const Plane source = spectrumPlane(doc, which);
  if (source == nullptr || count < 1) return 0;
  SpectrumPeak* peaks =
      static_cast<SpectrumPeak*>(std::malloc(size_t(count) * sizeof(SpectrumPeak)));
  if (peaks == nullptr) return 0;
  const int32_t n = spectrumPeaks(source, doc->width, doc->height, peaks, count);
  for (int32_t i = 0; i < n; ++i) {
    const SpectrumPeak& p = peaks[i];
    const double values[6] = {double(p.u), double(p.v), p.magnitude,
                              p.phase,     double(p.x), double(p.y)};
    std::memcpy(out + 6 * i, values, sizeof values);
  }
  std::free(peaks);
  return n;
}

// The frequency of the strongest coefficient of the spectrum within
// `radius` pixels of pixel (x, y) of the centred picture, as labProbe counts
// them, into out[0] and out[1]: where a click near a peak means the peak. The
// zero frequency counts only when it is the pixel itself. Returns 1 outside
// the picture.
EMSCRIPTEN_KEEPALIVE int labStrongestNear(const LabDocument* doc, int32_t x, int32_t y,
                                          int32_t radius, double* out) {
  if (doc->spectrum == nullptr || x < 0 || y < 0 || x >= doc->width || y >= doc->height) return 1;
  double best = -1;
  for (int32_t py = y - radius; py <= y + radius; ++py) {
    for (int32_t px = x - radius; px <= x + radius; ++px) {
      if (px < 0 || py < 0 || px >= doc->width || py >= doc->height) continue;
      const int32_t u = centredIndex(px, doc->width);
      const int32_t v = centredIndex(doc->height - 1 - py, doc->height);
      if (u == 0 && v == 0 && (px != x || py != y)) continue;
      const Complex f = complexRow(doc->spectrum, v)[u];
      const double power = f.re * f.re + f.im * f.im;
      if (power > best) {
        best = power;
        out[0] = frequencyOf(u, doc->width);
        out[1] = frequencyOf(v, doc->height);
      }
    }
  }
  return kStatusOk;
}

// ---- Edits ------------------------------------------------------------------------

// Applies the filter that specfilter's options in argv[1 .. argc-1] describe
// (no paths; a mask is read from the file system under the name its -m
// gives) to a copy of the spectrum: the same reading of the options, the
// same messages and gains, and the same line added to the text. The edited
// spectrum and its text replace the previous edit only on success.
EMSCRIPTEN_KEEPALIVE int labFilter(LabDocument* doc, int argc, char** argv) {
  const CommandLine line = scanCommandLine(kFilterCommandLine, argc, argv);
  // The scan leaves the default in paths[0] when no path was given.
  if (line.usage || line.paths[0] != kFilterCommandLine.defaults[0]) {
    std::fputs("Not a filter: only specfilter's options.\n", stderr);
    return kExitUsage;
  }
  FilterRequest request;
  int status = filterRequestRead(line, &request);
  if (status == kStatusOk) status = filterRequestFit(&request, doc->width, doc->height);
  char* text = nullptr;
  Plane edited = nullptr;
  if (status == kStatusOk && (text = filterRequestText(request, doc->text)) == nullptr) {
    std::fputs("Couldn't allocate memory. text\n", stderr);
    status = kStatusMemory;
  }
  if (status == kStatusOk && (edited = copyComplex(doc, doc->spectrum)) == nullptr)
    status = kStatusMemory;
  if (status == kStatusOk) {
    filterSpectrum(edited, doc->width, doc->height, &request.filter, 1);
    freePlane(&doc->edited);
    freeText(&doc->editedText);
    freePlane(&doc->reconstruction);
    doc->edited = edited;
    doc->editedText = text;
  } else {
    std::free(text);
  }
  filterRequestFree(&request);
  return status;
}

// Drops the edit: the spectrum is as transformed or loaded again.
EMSCRIPTEN_KEEPALIVE void labClearEdit(LabDocument* doc) {
  freePlane(&doc->edited);
  freeText(&doc->editedText);
  freePlane(&doc->reconstruction);
}

// ---- Saving -----------------------------------------------------------------------

// Writes the spectrum (which 0) or the edited spectrum (1) with its text as a
// spectrum file at `path`, as specfwd and specfilter write theirs.
EMSCRIPTEN_KEEPALIVE int labSaveSpectrum(const LabDocument* doc, int which, const char* path) {
  const Plane samples = spectrumPlane(doc, which);
  if (samples == nullptr) return 1;
  const char* text = which == 0 ? doc->text : doc->editedText;
  return writeSpectrumFile(path, text, complexRow(samples, 0), doc->width, doc->height) == 0
             ? kStatusOk
             : kStatusOutput;
}

// Writes a mask of W x H gray levels, rows from the top of the centred
// picture, as the BMP that specfilter -m reads at `path`.
EMSCRIPTEN_KEEPALIVE int labWriteMask(const LabDocument* doc, const uint8_t* levels,
                                      const char* path) {
  Plane pixels = newPixels(doc);
  if (pixels == nullptr) return kStatusMemory;
  for (int32_t y = 0; y < doc->height; ++y) {
    const uint8_t* in = levels + size_t(doc->height - 1 - y) * size_t(doc->width);
    Pixel32* row = pixelRow(pixels, y);
    for (int32_t x = 0; x < doc->width; ++x) row[x] = Pixel32{in[x], in[x], in[x], 0};
  }
  const int status = bmpWrite32(path, pixels[0], doc->width, doc->height);
  std::free(pixels);
  return status == 0 ? kStatusOk : kStatusOutput;
}

}  // extern "C"
