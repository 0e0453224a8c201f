#include <cstdlib>

#include "speccore.h"

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

Plane planeAlloc(int32_t elementSize, int32_t width, int32_t height) {
  if (elementSize <= 0 || width <= 0 || height <= 0) return nullptr;
  const size_t bytes = planeBytes(elementSize, width, height, sizeof(void*));
  if (bytes == 0) return nullptr;
  Plane plane = static_cast<Plane>(std::calloc(1, bytes));
  if (plane == nullptr) return nullptr;
  // Rows follow the table back to back, so entry 0 is also the start of the
  // whole element block and one write can cover every row.
  uint8_t* rows = reinterpret_cast<uint8_t*>(plane + height);
  const size_t stride = size_t(width) * size_t(elementSize);
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
