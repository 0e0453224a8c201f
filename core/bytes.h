// Little-endian field access for file headers. Header fields are always
// assembled from bytes, so the layout of a struct in memory never matters.
#ifndef SPECCORE_BYTES_H
#define SPECCORE_BYTES_H

#include <cstdint>

namespace speccore {

inline uint16_t read16le(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

inline uint32_t read32le(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void write16le(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}

inline void write32le(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

}  // namespace speccore

#endif
