// What specfilter is asked to do: the filter read from the command line, the
// masks it names, and the line it records in the output's text.
#ifndef REQUEST_H
#define REQUEST_H

#include "commandline.h"
#include "speccore.h"

// specfilter's command line: its options, usage and default paths. The web
// page writes its filters as the same options, so that its files record them
// as specfilter does.
extern const ToolCommandLine kFilterCommandLine;

struct FilterRequest {
  SpectrumFilter filter = {};
  FilterFactor factors[kMaxValued] = {};
  const OptionValue* given[kMaxValued] = {};  // the option of each factor (a mask's is its file)
  const char* order = nullptr;                // the Butterworth order as given
};

// Reads the filter that the scanned command line asks for: the shape, the
// factors in the order given, the mask layout. Returns 0, or kStatusUsage
// after a line naming the option whose value is no good (or saying that no
// filter was given), for the usage to follow.
int filterRequestRead(const CommandLine& line, FilterRequest* request);

// Makes the request fit a W x H spectrum: checks every notch, then loads
// every mask and checks its size. Returns 0, or the exit status after the
// messages: kStatusFilterMismatch for a notch outside the spectrum or a mask
// of another size, bmpInputDecode's for a mask that cannot be read. Either
// way the caller ends with filterRequestFree.
int filterRequestFit(FilterRequest* request, int32_t width, int32_t height);

// Frees the masks' pixels.
void filterRequestFree(FilterRequest* request);

// The output's text: the input's text, if any, then a line that repeats the
// filter as options ("specfilter -g -l30"). Null when it cannot be had; the
// caller frees it.
char* filterRequestText(const FilterRequest& request, const char* inputText);

#endif
