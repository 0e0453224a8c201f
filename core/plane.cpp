#include <cstdint>
#include <cstdlib>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "speccore/plane.h"

namespace speccore {

// Bytes of a plane block, H pointers plus H*W*E element bytes, or 0 when that
// count does not fit in size_t. Each product is checked, so a request whose
// true size is too large is refused instead of silently shrunk by wrapping.
static size_t planeBytes(int32_t elementSize, int32_t width, int32_t height, size_t pointerBytes) {
  size_t rowBytes, elementBytes, tableBytes, total;
  if (__builtin_mul_overflow(size_t(width), size_t(elementSize), &rowBytes) ||
      __builtin_mul_overflow(rowBytes, size_t(height), &elementBytes) ||
      __builtin_mul_overflow(size_t(height), pointerBytes, &tableBytes) ||
      __builtin_add_overflow(elementBytes, tableBytes, &total) || total > size_t(PTRDIFF_MAX))
    return 0;
  return total;
}

// Rows of this many bytes or more start on a 2 MiB boundary and, on Linux,
// ask for transparent huge pages: the planes a photograph needs are tens or
// hundreds of megabytes, and taking them in 4 KiB pages costs a page fault
// each on first touch.
static const size_t kHugePage = size_t(2) << 20;
static const size_t kHugeRows = 2 * kHugePage;

Plane planeAlloc(int32_t elementSize, int32_t width, int32_t height) {
  if (elementSize <= 0 || width <= 0 || height <= 0) return nullptr;
  size_t bytes = planeBytes(elementSize, width, height, sizeof(void*));
  if (bytes == 0) return nullptr;
  const size_t stride = size_t(width) * size_t(elementSize);
  const size_t tableBytes = size_t(height) * sizeof(void*);
  const bool huge = bytes - tableBytes >= kHugeRows && bytes <= size_t(PTRDIFF_MAX) - kHugePage;
  if (huge) bytes += kHugePage;
  Plane plane = static_cast<Plane>(std::calloc(1, bytes));
  if (plane == nullptr) return nullptr;
  // The rows follow the table, back to back (after a gap up to the boundary
  // for huge pages), so entry 0 is also the start of the whole element block
  // and one write can cover every row.
  uint8_t* rows = reinterpret_cast<uint8_t*>(plane + height);
  if (huge) {
    rows =
        reinterpret_cast<uint8_t*>((uintptr_t(rows) + kHugePage - 1) & ~uintptr_t(kHugePage - 1));
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Whole huge pages only; a refusal just keeps small pages.
    madvise(rows, (stride * size_t(height)) & ~(kHugePage - 1), MADV_HUGEPAGE);
#endif
  }
  for (int32_t r = 0; r < height; ++r) plane[r] = rows + size_t(r) * stride;
  return plane;
}

Plane planeWrap(void* data, int32_t elementSize, int32_t width, int32_t height) {
  if (data == nullptr || elementSize <= 0 || width <= 0 || height <= 0) return nullptr;
  // The wrapped rows must be addressable: the caller's data spans H*W*E bytes.
  if (planeBytes(elementSize, width, height, sizeof(void*)) == 0) return nullptr;
  Plane table = static_cast<Plane>(std::malloc(size_t(height) * sizeof(void*)));
  if (table == nullptr) return nullptr;
  uint8_t* rows = static_cast<uint8_t*>(data);
  const size_t stride = size_t(width) * size_t(elementSize);
  for (int32_t r = 0; r < height; ++r) table[r] = rows + size_t(r) * stride;
  return table;
}

}  // namespace speccore
