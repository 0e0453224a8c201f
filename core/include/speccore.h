// speccore: planes, BMP files, spectrum files, the 2-D DFT, the pictures
// made from spectra, and filters. This header includes every topic header;
// each of them can also be included alone, and lists what it declares:
//
//   speccore/types.h         Complex, Pixel32, Plane; what a thread count means
//   speccore/status.h        the codes operations return, and their texts
//   speccore/message.h       where the library's messages go (standard error,
//                            or a sink of the caller's)
//   speccore/plane.h         plane buffers
//   speccore/output.h        output files that replace their names whole
//   speccore/bmp.h           BMP files: load, check, decode, write; gray levels
//   speccore/spectrumfile.h  the spectrum file: write, load, check, view
//   speccore/dft.h           the 2-D DFT, and the inverse to a picture
//   speccore/render.h        gray and power-spectrum pictures of complex planes
//   speccore/filter.h        frequency-domain filters
//   speccore/peaks.h         the strongest coefficients of a spectrum
//   speccore/pipeline.h      a picture file to its spectrum in one call
//
// Everything is declared in the namespace speccore: write
// `using namespace speccore;` or qualify the names.
//
// Conventions
//   - Failures come back as an integer status (0 is success; see
//     speccore/status.h) or a null pointer; the operation that meets a
//     failure reports its one line through the message sink (standard error
//     unless the caller sets one). Nothing throws.
//   - A plane is one heap block: a table of H row pointers followed by H
//     contiguous rows. Whoever obtains a block frees it with one free().
//   - Every multi-byte field on disk is little-endian and is read and written
//     byte by byte; samples are the one exception: a Complex has the file's
//     layout, so loaded samples are used in place.
//   - Picture planes keep row 0 as the bottom row of the picture; spectra
//     keep frequency row 0 first.
//   - Every operation takes any value its types allow: null pointers, sizes
//     and counts below 1 or near the type's limit, NaNs and infinities are
//     refused with the status, null or NaN it states, or leave nothing to
//     do. What no operation can check is said where it applies: a plane or
//     a buffer must be as large as the call is told, since neither carries
//     its size.

#ifndef SPECCORE_H
#define SPECCORE_H

#include "speccore/bmp.h"
#include "speccore/dft.h"
#include "speccore/filter.h"
#include "speccore/message.h"
#include "speccore/output.h"
#include "speccore/peaks.h"
#include "speccore/pipeline.h"
#include "speccore/plane.h"
#include "speccore/render.h"
#include "speccore/spectrumfile.h"
#include "speccore/status.h"
#include "speccore/types.h"
#include "speccore_version.h"

#endif
