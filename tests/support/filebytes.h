// Files as bytes for the tests, benchmark and fuzz seeds: whole-file reads
// and writes and little-endian fields, with no test framework attached.
#ifndef FILEBYTES_H
#define FILEBYTES_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

typedef std::vector<uint8_t> Bytes;

inline bool writeBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const size_t n = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), f);
  return std::fclose(f) == 0 && n == bytes.size();
}

inline Bytes readBytes(const std::string& path) {
  Bytes out;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  int c;
  while ((c = std::fgetc(f)) != EOF) out.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return out;
}

inline uint32_t le16(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8;
}

inline uint32_t le32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

inline void putLe16(Bytes& b, size_t at, uint32_t v) {
  b.at(at) = uint8_t(v);
  b.at(at + 1) = uint8_t(v >> 8);
}

inline void putLe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (8 * i));
}

inline Bytes truncated(Bytes file, size_t size) {
  file.resize(size);
  return file;
}

#endif
