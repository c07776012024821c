// MD3 loading: checks every count and offset of the file against its size and that no two
// blocks share a byte before anything is decoded; a refused file or one that runs out of
// memory leaves the model empty.
#include "model/md3_parser.h"

#include "fs/memfile.h"
#include "platform/log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

// Copies a fixed 64-byte name field, cut to 63 characters when it has no terminator.
void Md3CopyName(char out[MD3_NAME_SIZE], const char* field)
{
    snprintf(out, MD3_NAME_SIZE, "%.*s", static_cast<int>(strnlen(field, MD3_NAME_SIZE - 1)), field);
}

namespace
{
// A block as messages name it: "tag block", "surface 2 vertices".
void DescribeBlock(const sMd3Block& b, char* out, size_t outSize)
{
    static const char* const kinds[] = {"header",         "frame records", "tag block",           "header",
                                        "shader records", "triangles",     "texture coordinates", "vertices"};
    if (b.kind < MD3_BLOCK_SURFACE)
        snprintf(out, outSize, "%s", kinds[b.kind]);
    else
        snprintf(out, outSize, "surface %d %s", b.surface, kinds[b.kind]);
}
} // namespace

// Writes the full message to the debug file and keeps the short reason for the caller that
// wants to show it; answers false like DebugLog.
bool cMd3Parser::Refuse(const char* reason, const char* format, ...)
{
    char message[512];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    error = reason;
    return DebugLog("%s", message);
}

// Empty blocks take no bytes and so cannot overlap anything.
void cMd3Parser::AddBlock(int64_t start, int64_t count, int64_t recordSize, eMd3BlockKind kind,
                          int32_t surface)
{
    if (count > 0)
        blocks.push_back(
            {static_cast<uint64_t>(start), static_cast<uint64_t>(start + count * recordSize), kind, surface});
}

bool cMd3Parser::ReadHeader()
{
    const uint32_t size = static_cast<uint32_t>(r.Size());
    if (size < MD3_HEADER_SIZE)
        return Refuse("file too short", "cMd3:: %s : file too short for a header (%u bytes)", fileName, size);
    if (memcmp(r.Bytes(4), "IDP3", 4) != 0)
        return Refuse("not an md3 file", "cMd3:: this : %s file is not a valid md3 file", fileName);
    if (r.S32() != MD3_VERSION)
        return Refuse("wrong md3 version", "cMd3:: this : %s file has a wrong version", fileName);
    sMd3FileHeader& h = header;
    r.Read(h.name, MD3_NAME_SIZE);
    r.S32(); // flags
    h.numFrames = r.S32();
    h.numTags = r.S32();
    h.numSurfaces = r.S32();
    r.S32(); // skins
    h.ofsFrames = r.S32();
    h.ofsTags = r.S32();
    h.ofsSurfaces = r.S32();

    if (h.numFrames < 0 || h.numFrames > MD3_MAX_FRAMES)
        return Refuse("bad frame count", "cMd3:: %s : bad frame count %d", fileName, h.numFrames);
    if (h.numTags < 0 || h.numTags > MD3_MAX_TAGS)
        return Refuse("bad tag count", "cMd3:: %s : bad tag count %d", fileName, h.numTags);
    if (!Fits(h.ofsSurfaces, h.numSurfaces, MD3_SURFACE_HEADER_SIZE))
        return Refuse("surfaces past end of file", "cMd3:: %s : bad surface count %d or offset %d", fileName,
                      h.numSurfaces, h.ofsSurfaces);
    if (!Fits(h.ofsTags, static_cast<int64_t>(h.numFrames) * h.numTags, MD3_TAG_SIZE))
        return Refuse("tags past end of file", "cMd3:: %s : tags past end of file", fileName);
    // Only the box of each frame record is read, but the records own all their bytes.
    if (!Fits(h.ofsFrames, h.numFrames, MD3_FRAME_SIZE))
        return Refuse("frames past end of file", "cMd3:: %s : frame records past end of file", fileName);
    AddBlock(0, 1, MD3_HEADER_SIZE, MD3_BLOCK_HEADER);
    AddBlock(h.ofsFrames, h.numFrames, MD3_FRAME_SIZE, MD3_BLOCK_FRAMES);
    AddBlock(h.ofsTags, static_cast<int64_t>(h.numFrames) * h.numTags, MD3_TAG_SIZE, MD3_BLOCK_TAGS);
    return true;
}

// Surfaces are chained: each one's end offset leads to the next. Zero or negative steps are
// refused so a chain can neither stand still nor run backwards.
bool cMd3Parser::ReadSurfaceHeaders()
{
    surfaceHeaders.resize(header.numSurfaces);
    int64_t start = header.ofsSurfaces;
    for (int32_t s = 0; s < header.numSurfaces; s++)
    {
        sMd3SurfaceHeader& h = surfaceHeaders[s];
        if (!ReadSurfaceHeader(start, h))
            return Refuse("surface past end of file", "cMd3:: %s : surface %d past end of file", fileName, s);
        if (h.ofsEnd <= 0 || start + h.ofsEnd > static_cast<int64_t>(r.Size()))
            return Refuse("surface past end of file", "cMd3:: %s : surface %d has a bad end offset %d",
                          fileName, s, h.ofsEnd);
        if (h.numVerts < 0 || h.numVerts > MD3_MAX_VERTS)
            return Refuse("surface with too many vertices",
                          "cMd3:: %s : surface %d has %d vertices (at most %d)", fileName, s, h.numVerts,
                          MD3_MAX_VERTS);
        if (!CheckSurfaceRecords(s, h))
            return false;
        start += h.ofsEnd;
    }
    return true;
}

bool cMd3Parser::ReadSurfaceHeader(int64_t start, sMd3SurfaceHeader& h)
{
    if (!Fits(start, 1, MD3_SURFACE_HEADER_SIZE) || !r.Seek(start))
        return false;
    h.start = start;
    r.S32(); // ident, not checked
    r.Read(h.name, MD3_NAME_SIZE);
    r.S32(); // flags
    r.S32(); // own frame count: the file header's count rules
    h.numShaders = r.S32();
    h.numVerts = r.S32();
    h.numTriangles = r.S32();
    h.ofsTriangles = r.S32();
    h.ofsShaders = r.S32();
    h.ofsSt = r.S32();
    h.ofsXyzNormals = r.S32();
    h.ofsEnd = r.S32();
    return r.Ok();
}

// Any count of shader records is fine as long as they lie inside the file; the names beyond
// the fixed slots are not kept.
bool cMd3Parser::CheckSurfaceRecords(int32_t s, const sMd3SurfaceHeader& h)
{
    const int64_t vertices = static_cast<int64_t>(h.numVerts) * header.numFrames;
    if (h.ofsShaders < 0 || h.ofsTriangles < 0 || h.ofsSt < 0 || h.ofsXyzNormals < 0 ||
        !Fits(h.start + h.ofsShaders, h.numShaders, MD3_SHADER_SIZE) ||
        !Fits(h.start + h.ofsTriangles, h.numTriangles, MD3_TRIANGLE_SIZE) ||
        !Fits(h.start + h.ofsSt, h.numVerts, MD3_ST_SIZE) ||
        !Fits(h.start + h.ofsXyzNormals, vertices, MD3_VERTEX_SIZE))
        return Refuse("surface past end of file", "cMd3:: %s : surface %d has records past end of file",
                      fileName, s);
    AddBlock(h.start, 1, MD3_SURFACE_HEADER_SIZE, MD3_BLOCK_SURFACE, s);
    AddBlock(h.start + h.ofsShaders, h.numShaders, MD3_SHADER_SIZE, MD3_BLOCK_SHADERS, s);
    AddBlock(h.start + h.ofsTriangles, h.numTriangles, MD3_TRIANGLE_SIZE, MD3_BLOCK_TRIANGLES, s);
    AddBlock(h.start + h.ofsSt, h.numVerts, MD3_ST_SIZE, MD3_BLOCK_ST, s);
    AddBlock(h.start + h.ofsXyzNormals, vertices, MD3_VERTEX_SIZE, MD3_BLOCK_VERTICES, s);
    return true;
}

// Each byte of the file belongs to one block at most, so what a model decodes to is bounded by
// a multiple of its file size: records shared between surfaces would be decoded once per user.
bool cMd3Parser::CheckBlocksApart()
{
    std::stable_sort(blocks.begin(), blocks.end(),
                     [](const sMd3Block& a, const sMd3Block& b)
                     { return a.start != b.start ? a.start < b.start : a.end < b.end; });
    // Blocks that start together keep file order. The block reaching furthest so far is the one a
    // later block can run into.
    const sMd3Block* furthest = nullptr;
    for (const sMd3Block& b : blocks)
    {
        if (furthest && furthest->end > b.start)
        {
            char first[64], second[64];
            DescribeBlock(*furthest, first, sizeof first);
            DescribeBlock(b, second, sizeof second);
            return Refuse("overlapping blocks", "cMd3:: %s : %s overlaps %s", fileName, first, second);
        }
        if (!furthest || b.end > furthest->end)
            furthest = &b;
    }
    return true;
}

bool cMd3::LoadFromFile(memfile_t& file)
{
    return LoadFromBuffer(file.data, file.size, file.name ? file.name : "");
}

// Checks come first (header, surface headers and their records, blocks apart), then decoding
// goes into locals that replace the model's arrays only at the end. Running out of memory on
// the way fails this one file the same way.
bool cMd3::LoadFromBuffer(const unsigned char* data, uint32_t size, const char* fileName)
{
    if (!data || size == 0)
    {
        loadError = "empty file";
        return false;
    }
    Clear();
    loadError.clear();
    try
    {
        cMd3Parser parser(data, size, fileName, loadError);
        if (!parser.ReadHeader() || !parser.ReadSurfaceHeaders() || !parser.CheckBlocksApart())
            return false;
        const sMd3FileHeader& h = parser.header;
        std::vector<sMd3Frame> newFrames;
        std::vector<sMd3Surface> newSurfaces(h.numSurfaces);
        if (!parser.ReadTags(newFrames))
            return false;
        parser.ReadFrameBounds(newFrames);
        for (int32_t s = 0; s < h.numSurfaces; s++)
            if (!parser.ReadSurface(s, newSurfaces[s]))
                return false;
        std::vector<cMd3*> newLinks(h.numTags, nullptr);
        char cutName[MD3_NAME_SIZE];
        Md3CopyName(cutName, h.name);
        std::string newName = cutName;

        // Nothing below allocates: the model is either whole or untouched.
        numFrames = h.numFrames;
        numTags = h.numTags;
        numSurfaces = h.numSurfaces;
        name.swap(newName);
        frames.swap(newFrames);
        surfaces.swap(newSurfaces);
        links.swap(newLinks);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        loadError = MD3_OUT_OF_MEMORY;
        return DebugLog("cMd3:: %s : out of memory", fileName);
    }
}
