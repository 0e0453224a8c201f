// What specfilter is asked to do: its command line, the filter read from it,
// the masks it names, and the line it records in the output's text.
#ifndef REQUEST_H
#define REQUEST_H

#include <cstdint>

#include "commandline.h"
#include "speccore/filter.h"

// specfilter's options and usage. Each filter is a row of it and a row of
// the table of filters in request.cpp, which says how its value reads. The
// web page writes its filters as the same options, so that its files record
// them as specfilter does.
extern const ToolCommandLine kFilterCommandLine;

struct FilterRequest {
  speccore::SpectrumFilter filter = {};
  speccore::FilterFactor factors[kMaxValued] = {};
  const OptionValue* given[kMaxValued] = {};  // the option of each factor (a mask's is its file)
  const char* order = nullptr;                // the Butterworth order as given
};

// Reads the filter that the scanned command line asks for: the shape, the
// factors in the order given, the mask layout. Returns 0, or kExitUsage
// after a line naming the option whose value is no good (or saying that no
// filter was given), for the usage to follow.
int filterRequestRead(const CommandLine& line, FilterRequest* request);

// Makes the request fit a W x H spectrum: checks every notch, then loads
// every mask and checks its size. Returns 0, or the exit status after the
// messages: kExitFilterMismatch for a notch outside the spectrum or a mask
// of another size, bmpInputDecode's for a mask that cannot be read. Either
// way the caller ends with filterRequestFree.
int filterRequestFit(FilterRequest* request, int32_t width, int32_t height);

// Puts the paths of the masks asked for in `paths` (kMaxValued at most) and
// returns their number.
int filterRequestMasks(const FilterRequest& request, const char** paths);

// Frees the masks' pixels.
void filterRequestFree(FilterRequest* request);

// The output's text: the input's text, if any, then a line that repeats the
// filter as options ("specfilter -g -l30"). Null when it cannot be had; the
// caller frees it.
char* filterRequestText(const FilterRequest& request, const char* inputText);

#endif
