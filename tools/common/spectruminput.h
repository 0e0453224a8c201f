// The steps the readers of spectrum files share: size query, minimum size,
// whole-file load, and for the two that work on the samples, the header
// check and the planes.
#ifndef SPECTRUMINPUT_H
#define SPECTRUMINPUT_H

#include <cstdint>

#include "runoutputs.h"
#include "speccore/spectrumfile.h"
#include "speccore/types.h"

// Loads the spectrum file at `path`. Returns the block (the caller frees it)
// and the number of bytes loaded in *size; or null with *status set to the
// program's exit status after the messages: kExitStatQuery when the size
// query fails, kStatusSize for a file shorter than a header or of 2 GiB or
// more, kStatusMemory when there is no memory to load it, kStatusRead when it
// cannot be read.
uint8_t* spectrumInputLoad(const char* path, uint32_t* size, int* status);

// Loads and checks the file at `path` and lays *view over its samples; with
// `text`, first copies the file's text there (spectrumText), before the
// samples may move over it. Returns 0, or the exit status after the messages
// (kExitUnknownFile for a file that is no usable spectrum). Either way the
// caller frees view->samples, *text and then *file.
int spectrumViewLoad(const char* path, uint8_t** file, speccore::SpectrumView* view, char** text);

// What specinv and specshow work on: the loaded file, the view of its
// samples and a zero-filled picture of the same size.
struct SpectrumWork {
  uint8_t* file = nullptr;
  speccore::SpectrumView view = {nullptr, 0, 0};  // rows inside `file`
  speccore::Plane pixels = nullptr;
};

// Loads and checks the file at `path` and makes the two planes. Returns 0
// when all is ready, else the exit status after the messages
// (kExitUnknownFile for a file that is no usable spectrum). Either way the
// caller ends with spectrumWorkFree.
int spectrumWorkOpen(const char* path, SpectrumWork* work);

// Frees the row table, the picture and then the file the table points into.
void spectrumWorkFree(SpectrumWork* work);

// The run of specinv and specshow: the output refused when it is the input,
// spectrumWorkOpen, then the one output created before the work on the
// samples. Returns 0 when both are ready, else
// the exit status after the messages. Either way the run ends with
// spectrumRunFinish.
int spectrumRunOpen(const char* inputPath, const char* outputPath, SpectrumWork* work,
                    RunOutputs* outputs);

// Ends a run that reached `status`: on kStatusOk the picture is written and
// replaces the output, otherwise the output is discarded; then the work is
// freed. Returns the run's final status.
int spectrumRunFinish(SpectrumWork* work, RunOutputs* outputs, int status);

#endif
