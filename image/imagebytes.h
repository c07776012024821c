// Bounded little-endian reads shared by the image decoders (never a cast of the buffer).
#pragma once

#include <cstdint>

// Largest picture any decoder allocates: 64 M pixels (256 MB at four bytes a pixel).
const uint64_t IMAGE_MAX_PIXELS = 8192ull * 8192ull;

inline uint16_t ImageU16(const unsigned char* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

inline uint32_t ImageU32(const unsigned char* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// True when count bytes starting at offset lie inside a buffer of size bytes.
inline bool ImageFits(uint64_t offset, uint64_t count, uint32_t size)
{
    return offset <= size && count <= size - offset;
}
