// The two ways hostile bytes enter the suite, as the programs take them: a
// BMP through the header check into the decoder, and a spectrum file through
// its header check into every consumer of the samples. Shared by the fuzz
// targets and by the test that replays the inputs they once failed on.
#ifndef FUZZPATHS_H
#define FUZZPATHS_H

#include <cstddef>
#include <cstdint>

// bmpCheck, then, on 0 and a bit count the decoder expands, a plane of
// biWidth x |biHeight| as specfwd makes it and bmpDecode into it.
void fuzzBmpPath(const uint8_t* data, size_t size);

// checkSpectrumHeader over an exact copy of the bytes, then what specinv and
// specshow do: the row table over the samples, the quadrant swap, both
// renderings and, on small sizes, the inverse transform to a picture.
void fuzzSpectrumPath(const uint8_t* data, size_t size);

#endif
