// speccore/plane.h: plane buffers. A plane is one heap block: a table of H
// row pointers followed by H contiguous rows of W elements of E bytes.
// Whoever obtains a block frees it with one free().
#ifndef SPECCORE_PLANE_H
#define SPECCORE_PLANE_H

#include <cstdint>

#include "types.h"

namespace speccore {

// New zero-filled plane of H rows of W elements of E bytes; null when an
// argument is not positive or the block cannot be had (also when its true size
// does not fit in size_t). The rows follow the table, after a gap up to a
// 2 MiB boundary when they take 4 MiB or more (for huge pages). The caller
// frees it.
SPECCORE_API Plane planeAlloc(int32_t elementSize, int32_t width, int32_t height);

// New row table over `data` (nothing copied or cleared); null for null data, a
// non-positive argument or no memory. The caller frees the table; the data
// stays with its owner.
SPECCORE_API Plane planeWrap(void* data, int32_t elementSize, int32_t width, int32_t height);

}  // namespace speccore

#endif
