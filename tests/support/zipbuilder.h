// Zip and pak archives built in memory; broken ones through the member AddFile returns:
//   zip.AddFile("models/x/a.md3", bytes, /*deflate*/ true).centralUncompressed = 10;
#pragma once

#include "support/testutil.h"

#include <zlib.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Little-endian fields; each digit of widths gives the size of one value in bytes.
template <class... T> inline void ArchiveFields(Bytes& out, const char* widths, T... values)
{
    for (uint64_t v : {static_cast<uint64_t>(values)...})
        for (int i = 0, n = *widths++ - '0'; i < n; i++)
            out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Raw deflate, as zip members store it: zlib's stream without its header and checksum.
inline Bytes DeflateRaw(const Bytes& bytes)
{
    uLongf size = compressBound(bytes.size());
    Bytes out(size);
    compress2(out.data(), &size, bytes.data(), bytes.size(), Z_BEST_COMPRESSION);
    return Bytes(out.begin() + 2, out.begin() + size - 4);
}

inline uint32_t ArchivePick(int64_t set, uint32_t v) { return set >= 0 ? static_cast<uint32_t>(set) : v; }

struct ZipBuilder
{
    struct Member
    {
        std::string name;
        Bytes data; // uncompressed contents
        bool deflate = false;
        // Overrides of the written fields; -1 keeps the value computed from the data.
        int method = -1;                                      // in both headers
        int64_t centralUncompressed = -1, centralOffset = -1; // of the central record
        bool dataDescriptor = false; // zero local sizes, the sizes in a record after the data
    };

    Member& AddFile(const std::string& name, const Bytes& bytes, bool deflate = false)
    {
        members.push_back({name, bytes, deflate});
        return members.back();
    }
    Member& AddFile(const std::string& name, const std::string& text, bool deflate = false)
    {
        return AddFile(name, Bytes(text.begin(), text.end()), deflate);
    }
    Member& AddDir(const std::string& name) { return AddFile(name, Bytes()); }
    void SetComment(const std::string& text) { comment = text; }
    Bytes Build() const
    {
        Bytes out, central;
        for (const Member& m : members)
        {
            const Bytes stored = m.deflate ? DeflateRaw(m.data) : m.data;
            const uint32_t crc = crc32(0, m.data.data(), static_cast<uInt>(m.data.size()));
            const uint32_t method = ArchivePick(m.method, m.deflate ? 8 : 0),
                           flags = m.dataDescriptor ? 8 : 0;
            const bool sized = !m.dataDescriptor;
            const bool folder = !m.name.empty() && m.name.back() == '/';
            ArchiveFields(central, "4222244442222244", 0x02014b50, 20, 20, flags, method, 0, crc,
                          stored.size(), ArchivePick(m.centralUncompressed, m.data.size()), m.name.size(), 0,
                          0, 0, 0, folder ? 0x10 : 0, ArchivePick(m.centralOffset, out.size()));
            central.insert(central.end(), m.name.begin(), m.name.end());
            ArchiveFields(out, "4222444422", 0x04034b50, 20, flags, method, 0, crc * sized,
                          stored.size() * sized, m.data.size() * sized, m.name.size(), 0);
            out.insert(out.end(), m.name.begin(), m.name.end());
            out.insert(out.end(), stored.begin(), stored.end());
            if (m.dataDescriptor)
                ArchiveFields(out, "4444", 0x08074b50, crc, stored.size(), m.data.size());
        }
        const size_t centralStart = out.size(), count = members.size();
        Append(out, central);
        ArchiveFields(out, "42222442", 0x06054b50, 0, 0, count, count, central.size(), centralStart,
                      comment.size());
        out.insert(out.end(), comment.begin(), comment.end());
        return out;
    }
    bool Write(const std::string& path) const { return WriteFileBytes(path, Build()); }

    std::deque<Member> members; // a deque, so references from AddFile stay valid
    std::string comment;
};

struct PakBuilder
{
    struct Member
    {
        std::string name; // written into 56 bytes; a name of 56 or more has no terminator
        Bytes data;
        int64_t position = -1, length = -1; // overrides of the directory record
    };

    Member& AddFile(const std::string& name, const Bytes& bytes)
    {
        members.push_back({name, bytes});
        return members.back();
    }
    Member& AddFile(const std::string& name, const std::string& text)
    {
        return AddFile(name, Bytes(text.begin(), text.end()));
    }
    Bytes Build() const
    {
        Bytes out{'P', 'A', 'C', 'K', 0, 0, 0, 0, 0, 0, 0, 0}, directory;
        for (const Member& m : members)
        {
            std::string field = m.name;
            field.resize(56);
            directory.insert(directory.end(), field.begin(), field.end());
            ArchiveFields(directory, "44", ArchivePick(m.position, out.size()),
                          ArchivePick(m.length, m.data.size()));
            out.insert(out.end(), m.data.begin(), m.data.end());
        }
        Put32(out, 4, out.size());
        Put32(out, 8, directory.size());
        out.insert(out.end(), directory.begin(), directory.end());
        return out;
    }
    bool Write(const std::string& path) const { return WriteFileBytes(path, Build()); }

    std::deque<Member> members;
};
