// Little-endian field reads kept for older callers; the decoders read every field through
// cByteReader (platform/bytereader.h) now. The pixel limit lives with cImage.
#pragma once

#include "image/image.h"
#include "platform/bytereader.h"

#include <cstdint>

inline uint16_t ImageU16(const unsigned char* p) { return cByteReader(p, 2).U16(); }

inline uint32_t ImageU32(const unsigned char* p) { return cByteReader(p, 4).U32(); }

// True when count bytes starting at offset lie inside a buffer of size bytes.
inline bool ImageFits(uint64_t offset, uint64_t count, uint32_t size)
{
    return offset <= size && count <= size - offset;
}
