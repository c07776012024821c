// The one bounded little-endian reader every binary file reader uses: a position inside a
// buffer, and a failure that sticks, so a reader can take a run of fields and check once.
#pragma once

#include <cstdint>
#include <cstring>

class cByteReader
{
  public:
    cByteReader(const unsigned char* bytes, uint64_t count) : data(bytes), size(bytes ? count : 0) {}

    bool Ok() const { return ok; }
    uint64_t Pos() const { return pos; }
    uint64_t Size() const { return size; }
    uint64_t Left() const { return ok ? size - pos : 0; }
    // Marks the read as failed (a reader's own check on a value it read); answers false.
    bool Fail() { return ok = false; }

    // Moves to an absolute position; a position past the end fails.
    bool Seek(uint64_t offset)
    {
        if (!ok || offset > size)
            return Fail();
        pos = offset;
        return true;
    }
    bool Skip(uint64_t count) { return ok && count <= size - pos ? Seek(pos + count) : Fail(); }

    // True when count records of recordSize bytes start at offset and end inside the buffer.
    bool Fits(uint64_t offset, uint64_t count, uint64_t recordSize) const
    {
        if (offset > size)
            return false;
        return recordSize == 0 || count <= (size - offset) / recordSize;
    }

    // The next count bytes, or null (and failed) when fewer are left; the position moves past.
    const unsigned char* Bytes(uint64_t count)
    {
        if (!ok || count > size - pos)
        {
            Fail();
            return nullptr;
        }
        const unsigned char* p = data + pos;
        pos += count;
        return p;
    }
    bool Read(void* out, uint64_t count)
    {
        const unsigned char* p = Bytes(count);
        if (p && count)
            memcpy(out, p, count);
        return p != nullptr;
    }

    // Each answers 0 once the reader has failed.
    uint8_t U8()
    {
        const unsigned char* p = Bytes(1);
        return p ? p[0] : 0;
    }
    uint16_t U16()
    {
        const unsigned char* p = Bytes(2);
        return p ? static_cast<uint16_t>(p[0] | (p[1] << 8)) : 0;
    }
    uint32_t U32()
    {
        const unsigned char* p = Bytes(4);
        return p ? static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                       (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24)
                 : 0;
    }
    int16_t S16() { return static_cast<int16_t>(U16()); }
    int32_t S32() { return static_cast<int32_t>(U32()); }
    float F32()
    {
        const uint32_t bits = U32();
        float f;
        memcpy(&f, &bits, 4);
        return f;
    }

  private:
    const unsigned char* data;
    uint64_t size;
    uint64_t pos = 0;
    bool ok = true;
};
