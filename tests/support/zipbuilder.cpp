// Zip and pak archives written in memory for test fixtures.
#include "support/zipbuilder.h"

#include "support/testutil.h"

#include <zlib.h>

namespace
{
void Add16(std::vector<unsigned char>& out, uint32_t v)
{
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

void Add32(std::vector<unsigned char>& out, uint32_t v)
{
    Add16(out, v & 0xffff);
    Add16(out, v >> 16);
}

// Raw deflate (no header or trailer) of bytes, as zip members store it.
std::vector<unsigned char> DeflateRaw(const std::vector<unsigned char>& bytes)
{
    z_stream zs = {};
    deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> out(deflateBound(&zs, bytes.size()) + 16);
    zs.next_in = const_cast<unsigned char*>(bytes.data());
    zs.avail_in = static_cast<uInt>(bytes.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

uint32_t Pick(int64_t override, uint32_t value)
{
    return override >= 0 ? static_cast<uint32_t>(override) : value;
}
} // namespace

void Put16(std::vector<unsigned char>& bytes, size_t offset, uint32_t value)
{
    bytes.at(offset) = static_cast<unsigned char>(value);
    bytes.at(offset + 1) = static_cast<unsigned char>(value >> 8);
}

void Put32(std::vector<unsigned char>& bytes, size_t offset, uint32_t value)
{
    Put16(bytes, offset, value & 0xffff);
    Put16(bytes, offset + 2, value >> 16);
}

std::vector<unsigned char> Bytes(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

ZipBuilder::Member& ZipBuilder::AddFile(const std::string& name, const std::vector<unsigned char>& bytes,
                                        bool deflate)
{
    Member m;
    m.name = name;
    m.data = bytes;
    m.deflate = deflate;
    members.push_back(m);
    return members.back();
}

ZipBuilder::Member& ZipBuilder::AddFile(const std::string& name, const std::string& text, bool deflate)
{
    return AddFile(name, Bytes(text), deflate);
}

ZipBuilder::Member& ZipBuilder::AddDir(const std::string& name)
{
    return AddFile(name, std::vector<unsigned char>(), false);
}

std::vector<unsigned char> ZipBuilder::Build() const
{
    std::vector<unsigned char> out;
    std::vector<uint32_t> local; // offset of each member's local header
    std::vector<std::vector<unsigned char>> stored(members.size());
    for (size_t i = 0; i < members.size(); i++)
    {
        const Member& m = members[i];
        stored[i] = !m.payload.empty() ? m.payload : m.deflate ? DeflateRaw(m.data) : m.data;
        uint32_t crc = crc32(0, m.data.data(), static_cast<uInt>(m.data.size()));
        uint32_t method = Pick(m.method, m.deflate ? 8 : 0);
        uint32_t zeroIfDescriptor = m.dataDescriptor ? 0 : 1;
        local.push_back(static_cast<uint32_t>(out.size()));
        Add32(out, 0x04034b50);
        Add16(out, 20);
        Add16(out, m.dataDescriptor ? 8 : 0);
        Add16(out, method);
        Add32(out, 0);
        Add32(out, crc * zeroIfDescriptor);
        Add32(out, Pick(m.localCompressed, static_cast<uint32_t>(stored[i].size()) * zeroIfDescriptor));
        Add32(out, Pick(m.localUncompressed, static_cast<uint32_t>(m.data.size()) * zeroIfDescriptor));
        Add16(out, static_cast<uint32_t>(m.name.size()));
        Add16(out, 0);
        out.insert(out.end(), m.name.begin(), m.name.end());
        out.insert(out.end(), stored[i].begin(), stored[i].end());
        if (m.dataDescriptor)
        {
            Add32(out, 0x08074b50);
            Add32(out, crc);
            Add32(out, static_cast<uint32_t>(stored[i].size()));
            Add32(out, static_cast<uint32_t>(m.data.size()));
        }
    }
    const uint32_t centralStart = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < members.size(); i++)
    {
        const Member& m = members[i];
        Add32(out, 0x02014b50);
        Add16(out, 20);
        Add16(out, 20);
        Add16(out, m.dataDescriptor ? 8 : 0);
        Add16(out, Pick(m.method, m.deflate ? 8 : 0));
        Add32(out, 0);
        Add32(out, crc32(0, m.data.data(), static_cast<uInt>(m.data.size())));
        Add32(out, Pick(m.centralCompressed, static_cast<uint32_t>(stored[i].size())));
        Add32(out, Pick(m.centralUncompressed, static_cast<uint32_t>(m.data.size())));
        Add16(out, static_cast<uint32_t>(m.name.size()));
        Add16(out, 0);
        Add16(out, 0);
        Add16(out, 0);
        Add16(out, 0);
        Add32(out, !m.name.empty() && m.name.back() == '/' ? 0x10 : 0);
        Add32(out, Pick(m.centralOffset, local[i]));
        out.insert(out.end(), m.name.begin(), m.name.end());
    }
    uint32_t centralSize = static_cast<uint32_t>(out.size()) - centralStart;
    uint32_t count = Pick(entryCount, static_cast<uint32_t>(members.size()));
    Add32(out, 0x06054b50);
    Add16(out, 0);
    Add16(out, 0);
    Add16(out, count);
    Add16(out, count);
    Add32(out, centralSize);
    Add32(out, Pick(centralOffset, centralStart));
    Add16(out, static_cast<uint32_t>(comment.size()));
    out.insert(out.end(), comment.begin(), comment.end());
    return out;
}

bool ZipBuilder::Write(const std::string& path) const { return WriteFileBytes(path, Build()); }

PakBuilder::Member& PakBuilder::AddFile(const std::string& name, const std::vector<unsigned char>& bytes)
{
    Member m;
    m.name = name;
    m.data = bytes;
    members.push_back(m);
    return members.back();
}

PakBuilder::Member& PakBuilder::AddFile(const std::string& name, const std::string& text)
{
    return AddFile(name, Bytes(text));
}

std::vector<unsigned char> PakBuilder::Build() const
{
    std::vector<unsigned char> out = Bytes("PACK");
    Add32(out, 0);
    Add32(out, 0);
    std::vector<uint32_t> positions;
    for (const Member& m : members)
    {
        positions.push_back(static_cast<uint32_t>(out.size()));
        out.insert(out.end(), m.data.begin(), m.data.end());
    }
    uint32_t dirOffset = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < members.size(); i++)
    {
        const Member& m = members[i];
        for (size_t c = 0; c < 56; c++)
            out.push_back(c < m.name.size() ? static_cast<unsigned char>(m.name[c]) : 0);
        Add32(out, Pick(m.position, positions[i]));
        Add32(out, Pick(m.length, static_cast<uint32_t>(m.data.size())));
    }
    Put32(out, 4, dirOffset);
    Put32(out, 8, static_cast<uint32_t>(members.size() * 64));
    return out;
}

bool PakBuilder::Write(const std::string& path) const { return WriteFileBytes(path, Build()); }
