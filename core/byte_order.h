// Reading and writing little- and big-endian integers in byte buffers, as
// the file formats store them, whatever the machine's own order. Each put
// returns the byte after what it wrote, so headers can be written in a row.
#pragma once

#include <cstdint>

inline unsigned le16(const unsigned char *p) { return p[0] | (unsigned)p[1] << 8; }
inline uint32_t le32(const unsigned char *p) {
  return p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
inline unsigned be16(const unsigned char *p) { return (unsigned)p[0] << 8 | p[1]; }
inline uint32_t be32(const unsigned char *p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

inline unsigned char *put_le16(unsigned char *p, unsigned v) {
  p[0] = (unsigned char)v, p[1] = (unsigned char)(v >> 8);
  return p + 2;
}
inline unsigned char *put_le32(unsigned char *p, uint32_t v) {
  for (int k = 0; k < 4; k++) p[k] = (unsigned char)(v >> (8 * k));
  return p + 4;
}
inline unsigned char *put_be32(unsigned char *p, uint32_t v) {
  for (int k = 0; k < 4; k++) p[k] = (unsigned char)(v >> (24 - 8 * k));
  return p + 4;
}
