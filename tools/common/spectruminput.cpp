#include "spectruminput.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "commandline.h"
#include "speccore/bmp.h"
#include "speccore/plane.h"
#include "speccore/status.h"

using namespace speccore;

uint8_t* spectrumInputLoad(const char* path, uint32_t* size, int* status) {
  *size = 0;
  *status = kExitOk;
  struct stat st;
  if (stat(path, &st) != 0) {
    std::fprintf(stderr, "'%s' stat error.\n", path);
    *status = kExitStatQuery;
    return nullptr;
  }
  // Compared in the width stat gives, so a file of 4 GiB and a few bytes is
  // not taken for a few bytes; files too large to load are refused by the loader.
  if (int64_t(st.st_size) < kCpxHeaderSize) {
    std::fprintf(stderr, "'%s' size error.\n", path);
    *status = kStatusSize;
    return nullptr;
  }
  int loaded = kStatusOk;
  uint8_t* file = readSpectrumFile(path, size, &loaded);
  if (file == nullptr) {
    std::fprintf(stderr, "'%s' read error.\n", path);
    // A file of 2 GiB or more, or one for which there is no memory, says so;
    // any other failure after the size query is the file's to be read.
    *status = loaded == kStatusSize || loaded == kStatusMemory ? loaded : kStatusRead;
  }
  return file;
}

int spectrumViewLoad(const char* path, uint8_t** file, SpectrumView* view, char** text) {
  *view = SpectrumView();
  uint32_t size = 0;
  int status = kExitOk;
  *file = spectrumInputLoad(path, &size, &status);
  if (*file == nullptr) return status;
  if (text != nullptr && (*text = spectrumText(*file, size)) == nullptr) {
    std::fputs("Couldn't allocate memory. source\n", stderr);
    return kStatusMemory;
  }
  status = spectrumViewOpen(*file, size, view);
  if (status == kStatusNotSpectrum) {
    std::fprintf(stderr, "'%s' unknown file\n", path);
  } else if (status != kStatusOk) {
    std::fputs("Couldn't allocate memory. source\n", stderr);
  }
  return exitStatusOf(status);
}

int spectrumWorkOpen(const char* path, SpectrumWork* work) {
  const int status = spectrumViewLoad(path, &work->file, &work->view, nullptr);
  if (status != kExitOk) return status;
  work->pixels = planeAlloc(sizeof(Pixel32), work->view.width, work->view.height);
  if (work->pixels == nullptr) {
    std::fputs("Couldn't allocate memory. destination\n", stderr);
    return kStatusMemory;
  }
  return kExitOk;
}

void spectrumWorkFree(SpectrumWork* work) {
  std::free(work->view.samples);
  std::free(work->pixels);
  std::free(work->file);
  *work = SpectrumWork();
}

int spectrumRunOpen(const char* inputPath, const char* outputPath, SpectrumWork* work,
                    RunOutputs* outputs) {
  int status = runOutputsApart(&outputPath, 1, &inputPath, 1);
  if (status == kExitOk) status = spectrumWorkOpen(inputPath, work);
  return status == kExitOk ? runOutputsOpen(outputs, &outputPath, 1) : status;
}

int spectrumRunFinish(SpectrumWork* work, RunOutputs* outputs, int status) {
  if (status == kExitOk) {
    const SpectrumView& v = work->view;
    status = bmpWrite32To(&outputs->files[0], pixelRow(work->pixels, 0), v.width, v.height);
  }
  status = runOutputsFinish(outputs, status);
  spectrumWorkFree(work);
  return status;
}
