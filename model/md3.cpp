// MD3 loading: checks every count and offset of the file against its size, then decodes
// positions, normals, texture coordinates, indices and tags once so drawing only blends.
#include "model/md3.h"

#include "platform/log.h"
#include "fs/memfile.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

// The file, little-endian throughout: a 108-byte header (ident "IDP3", version 15, name, counts
// of frames, tags and surfaces, and the offsets of the frame, tag and surface blocks), then
// per-frame bounds records we never read, a block of numFrames x numTags tag records (name,
// origin, three axes), and the surfaces one after the other. Each surface starts with its own
// 108-byte header whose offsets count from the surface start: shader names, triangles (three
// vertex indices), texture coordinates, and numFrames x numVerts packed vertices (three 16-bit
// coordinates in 1/64 units and two angle bytes for the normal).
namespace
{
const int MD3_HEADER_SIZE = 108;
const int MD3_TAG_SIZE = 112;
const int MD3_SURFACE_HEADER_SIZE = 108;
const int MD3_SHADER_SIZE = 68;
const int MD3_TRIANGLE_SIZE = 12;
const int MD3_ST_SIZE = 8;
const int MD3_VERTEX_SIZE = 8;
const int MD3_VERSION = 15;

// Reads little-endian values at any position of the file image; once a read fails every
// later one fails too.
struct sCursor
{
    const unsigned char* data;
    uint32_t size;
    uint32_t pos;
    bool ok;
};

bool Seek(sCursor& c, uint64_t ofs)
{
    if (!c.ok || ofs > c.size)
        return c.ok = false;
    c.pos = static_cast<uint32_t>(ofs);
    return true;
}

bool ReadBytes(sCursor& c, void* out, uint32_t len)
{
    if (!c.ok || c.size - c.pos < len)
        return c.ok = false;
    memcpy(out, c.data + c.pos, len);
    c.pos += len;
    return true;
}

int32_t ReadInt(sCursor& c)
{
    unsigned char b[4] = {0, 0, 0, 0};
    ReadBytes(c, b, 4);
    return static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

float ReadFloat(sCursor& c)
{
    uint32_t bits = static_cast<uint32_t>(ReadInt(c));
    float f;
    memcpy(&f, &bits, 4);
    return f;
}

// True when count records of recSize bytes start at ofs and end inside the file.
bool Fits(uint32_t size, int64_t ofs, int64_t count, int64_t recSize)
{
    if (ofs < 0 || count < 0 || ofs > size)
        return false;
    return count <= (static_cast<int64_t>(size) - ofs) / recSize;
}

// Copies a fixed 64-byte name field, cut to 63 characters when it has no terminator.
void CopyName(char out[MD3_NAME_SIZE], const char* field)
{
    snprintf(out, MD3_NAME_SIZE, "%.*s", static_cast<int>(strnlen(field, MD3_NAME_SIZE - 1)), field);
}

struct sSurfaceHeader
{
    char name[MD3_NAME_SIZE];
    int32_t numShaders, numVerts, numTriangles;
    int32_t ofsTriangles, ofsShaders, ofsSt, ofsXyzNormals, ofsEnd;
};

bool ReadSurfaceHeader(sCursor& c, sSurfaceHeader& h)
{
    ReadInt(c); // ident, not checked
    ReadBytes(c, h.name, MD3_NAME_SIZE);
    ReadInt(c); // flags
    ReadInt(c); // own frame count: the file header's count rules
    h.numShaders = ReadInt(c);
    h.numVerts = ReadInt(c);
    h.numTriangles = ReadInt(c);
    h.ofsTriangles = ReadInt(c);
    h.ofsShaders = ReadInt(c);
    h.ofsSt = ReadInt(c);
    h.ofsXyzNormals = ReadInt(c);
    h.ofsEnd = ReadInt(c);
    return c.ok;
}
} // namespace

const float* Md3NormalTable()
{
    static std::vector<float> table;
    if (table.empty())
    {
        // The angle step is 2 pi / 255 (not / 256), so index 255 wraps to a full turn.
        table.resize(256 * 256 * 3);
        const double step = 3.1415927f * 0.00784313725490196;
        for (int i = 0; i < 256; i++)
        {
            double a = i * step;
            double sinA = sin(a);
            float cosA = static_cast<float>(cos(a));
            for (int j = 0; j < 256; j++)
            {
                double b = j * step;
                float* n = &table[(i * 256 + j) * 3];
                n[0] = static_cast<float>(cos(b) * sinA);
                n[1] = static_cast<float>(sin(b) * sinA);
                n[2] = cosA;
            }
        }
    }
    return table.data();
}

// The rows of m are the axes. With a positive trace w is the largest component and is found
// first; otherwise the largest diagonal entry picks the component that is found first, which
// keeps the square root away from zero.
void AxesToQuaternion(const float axis[3][3], float q[4])
{
    float m[3][3];
    for (int r = 0; r < 3; r++)
    {
        float len = sqrtf(axis[r][0] * axis[r][0] + axis[r][1] * axis[r][1] + axis[r][2] * axis[r][2]);
        float scale = len > 0 ? 1.0f / len : 1.0f;
        for (int k = 0; k < 3; k++)
            m[r][k] = axis[r][k] * scale;
    }
    float x, y, z, w;
    float trace = m[2][2] + m[1][1] + m[0][0];
    if (trace > 0)
    {
        float s = sqrtf(trace + 1.0f);
        w = s * 0.5f;
        s = 0.5f / s;
        x = (m[2][1] - m[1][2]) * s;
        y = (m[0][2] - m[2][0]) * s;
        z = (m[1][0] - m[0][1]) * s;
    }
    else
    {
        int i = 0;
        if (m[1][1] > m[0][0])
            i = 1;
        if (m[2][2] > m[i][i])
            i = 2;
        int j = (i + 1) % 3;
        int k = (j + 1) % 3;
        float v[3];
        float s = sqrtf(m[i][i] - (m[j][j] + m[k][k]) + 1.0f);
        v[i] = s * 0.5f;
        if (s != 0.0f)
            s = 0.5f / s;
        w = (m[k][j] - m[j][k]) * s;
        v[j] = (m[j][i] + m[i][j]) * s;
        v[k] = (m[k][i] + m[i][k]) * s;
        x = v[0];
        y = v[1];
        z = v[2];
    }
    // Unit axes give a unit quaternion already; nearly-orthogonal ones come close to it.
    float len = sqrtf(x * x + y * y + z * z + w * w);
    if (len > 0)
    {
        x /= len;
        y /= len;
        z /= len;
        w /= len;
    }
    else
        w = 1.0f;
    q[0] = x;
    q[1] = y;
    q[2] = z;
    q[3] = w;
}

cMd3::cMd3() { Md3NormalTable(); }

cMd3::~cMd3() { Clear(); }

// A model without tags does not count as loaded, though its surfaces can be drawn.
bool cMd3::IsLoaded() { return numSurfaces && numFrames && numTags && !surfaces.empty() && !frames.empty(); }

void cMd3::Clear()
{
    surfaces.clear();
    surfaces.shrink_to_fit();
    frames.clear();
    frames.shrink_to_fit();
    links.clear();
    links.shrink_to_fit();
    numSurfaces = numFrames = numTags = 0;
}

void cMd3::AttachToTag(const char* tagName, cMd3* child)
{
    if (frames.empty() || !tagName)
        return;
    for (uint32_t t = 0; t < numTags && t < links.size(); t++)
        if (strcasecmp(frames[0].tags[t].name, tagName) == 0)
            links[t] = child;
}

bool cMd3::LoadFromFile(memfile_t& file)
{
    return LoadFromBuffer(file.data, file.size, file.name ? file.name : "");
}

// Checks come first and in file order (header, counts, tag block, then each surface and its
// records), and decoding goes into locals that replace the model's arrays only at the end.
bool cMd3::LoadFromBuffer(const unsigned char* data, uint32_t size, const char* fileName)
{
    if (!data || size == 0)
        return false;
    Clear();
    sCursor c = {data, size, 0, true};
    if (size < MD3_HEADER_SIZE)
        return DebugLog("cMd3:: %s : file too short for a header (%u bytes)", fileName, size);
    char ident[4];
    ReadBytes(c, ident, 4);
    if (memcmp(ident, "IDP3", 4) != 0)
        return DebugLog("cMd3:: this : %s file is not a valid md3 file", fileName);
    if (ReadInt(c) != MD3_VERSION)
        return DebugLog("cMd3:: this : %s file has a wrong version", fileName);

    char headerName[MD3_NAME_SIZE];
    ReadBytes(c, headerName, MD3_NAME_SIZE);
    ReadInt(c); // flags
    int32_t fileFrames = ReadInt(c);
    int32_t fileTags = ReadInt(c);
    int32_t fileSurfaces = ReadInt(c);
    ReadInt(c); // skins
    ReadInt(c); // frame records are not used
    int32_t ofsTags = ReadInt(c);
    int32_t ofsSurfaces = ReadInt(c);

    if (fileFrames < 0 || fileFrames > MD3_MAX_FRAMES)
        return DebugLog("cMd3:: %s : bad frame count %d", fileName, fileFrames);
    if (fileTags < 0 || fileTags > MD3_MAX_TAGS)
        return DebugLog("cMd3:: %s : bad tag count %d", fileName, fileTags);
    if (fileSurfaces < 0 || !Fits(size, ofsSurfaces, fileSurfaces, MD3_SURFACE_HEADER_SIZE))
        return DebugLog("cMd3:: %s : bad surface count %d or offset %d", fileName, fileSurfaces, ofsSurfaces);
    if (!Fits(size, ofsTags, static_cast<int64_t>(fileFrames) * fileTags, MD3_TAG_SIZE))
        return DebugLog("cMd3:: %s : tags past end of file", fileName);

    // Everything is decoded into locals first, so a refused file leaves the model empty.
    std::vector<sMd3Frame> newFrames(fileFrames);
    Seek(c, ofsTags);
    for (int32_t f = 0; f < fileFrames; f++)
    {
        newFrames[f].tags.resize(fileTags);
        for (int32_t t = 0; t < fileTags; t++)
        {
            sMd3Tag& tag = newFrames[f].tags[t];
            char tagName[MD3_NAME_SIZE];
            ReadBytes(c, tagName, MD3_NAME_SIZE);
            if (!memchr(tagName, 0, MD3_NAME_SIZE))
                return DebugLog("cMd3:: %s : tag %d has an unterminated name", fileName, t);
            memcpy(tag.name, tagName, MD3_NAME_SIZE);
            float axis[3][3];
            for (float& v : tag.origin)
                v = ReadFloat(c);
            for (auto& row : axis)
                for (float& v : row)
                    v = ReadFloat(c);
            AxesToQuaternion(axis, tag.rotation);
        }
    }

    // Surfaces are chained: each one's end offset leads to the next. Zero or negative steps are
    // refused so a chain can neither stand still nor run backwards.
    std::vector<sMd3Surface> newSurfaces(fileSurfaces);
    const float* normalTable = Md3NormalTable();
    int64_t surfStart = ofsSurfaces;
    for (int32_t s = 0; s < fileSurfaces; s++)
    {
        sSurfaceHeader h;
        if (!Seek(c, surfStart) || !Fits(size, surfStart, 1, MD3_SURFACE_HEADER_SIZE) ||
            !ReadSurfaceHeader(c, h))
            return DebugLog("cMd3:: %s : surface %d past end of file", fileName, s);
        if (h.ofsEnd <= 0 || surfStart + h.ofsEnd > size)
            return DebugLog("cMd3:: %s : surface %d has a bad end offset %d", fileName, s, h.ofsEnd);
        if (h.numVerts < 0 || h.numVerts > MD3_MAX_VERTS)
            return DebugLog("cMd3:: %s : surface %d has %d vertices (at most %d)", fileName, s, h.numVerts,
                            MD3_MAX_VERTS);
        if (h.numShaders < 0 || h.numShaders > MD3_MAX_SHADER_SLOTS)
            return DebugLog("cMd3:: %s : surface %d has %d shaders (at most %d)", fileName, s, h.numShaders,
                            MD3_MAX_SHADER_SLOTS);
        // Surface offsets count from the start of the surface, not of the file.
        if (!Fits(size, surfStart + h.ofsShaders, h.numShaders, MD3_SHADER_SIZE) ||
            !Fits(size, surfStart + h.ofsTriangles, h.numTriangles, MD3_TRIANGLE_SIZE) ||
            !Fits(size, surfStart + h.ofsSt, h.numVerts, MD3_ST_SIZE) ||
            !Fits(size, surfStart + h.ofsXyzNormals, static_cast<int64_t>(h.numVerts) * fileFrames,
                  MD3_VERTEX_SIZE) ||
            h.ofsShaders < 0 || h.ofsTriangles < 0 || h.ofsSt < 0 || h.ofsXyzNormals < 0)
            return DebugLog("cMd3:: %s : surface %d has records past end of file", fileName, s);

        sMd3Surface& surf = newSurfaces[s];
        CopyName(surf.name, h.name);
        surf.numShaders = h.numShaders;
        surf.numVerts = h.numVerts;
        surf.numIndices = 3u * h.numTriangles;

        Seek(c, surfStart + h.ofsShaders);
        for (int32_t k = 0; k < h.numShaders; k++)
        {
            char shaderName[MD3_NAME_SIZE];
            ReadBytes(c, shaderName, MD3_NAME_SIZE);
            ReadInt(c); // shader index, not used
            // The first character of a file shader name is always replaced by 'm'.
            if (k < MD3_MAX_FILE_SHADERS)
            {
                CopyName(surf.shaders[k].name, shaderName);
                surf.shaders[k].name[0] = 'm';
            }
        }

        // Triangles are stored with their winding reversed.
        surf.indices.resize(surf.numIndices);
        Seek(c, surfStart + h.ofsTriangles);
        for (int32_t t = 0; t < h.numTriangles; t++)
        {
            int32_t v[3];
            for (int32_t& x : v)
            {
                x = ReadInt(c);
                if (x < 0 || x >= h.numVerts)
                    return DebugLog("cMd3:: %s : surface %d triangle %d uses vertex %d of %d", fileName, s, t,
                                    x, h.numVerts);
            }
            surf.indices[t * 3 + 0] = v[2];
            surf.indices[t * 3 + 1] = v[1];
            surf.indices[t * 3 + 2] = v[0];
        }

        surf.st.resize(static_cast<size_t>(h.numVerts) * 2);
        Seek(c, surfStart + h.ofsSt);
        for (int32_t v = 0; v < h.numVerts; v++)
        {
            surf.st[v * 2] = ReadFloat(c);
            surf.st[v * 2 + 1] = 1.0f - ReadFloat(c);
        }

        // Every frame's vertices, decoded once: positions scaled to floats, normals from the table.
        size_t total = static_cast<size_t>(h.numVerts) * fileFrames;
        surf.xyz.resize(total * 3);
        surf.normals.resize(total * 3);
        if (!Seek(c, surfStart + h.ofsXyzNormals) || c.size - c.pos < total * MD3_VERTEX_SIZE)
            return DebugLog("cMd3:: %s : surface %d vertices past end of file", fileName, s);
        const unsigned char* p = c.data + c.pos;
        for (size_t v = 0; v < total; v++, p += MD3_VERTEX_SIZE)
        {
            for (int k = 0; k < 3; k++)
            {
                int16_t x = static_cast<int16_t>(p[k * 2] | (p[k * 2 + 1] << 8));
                surf.xyz[v * 3 + k] = x * 0.015625f;
            }
            memcpy(&surf.normals[v * 3], normalTable + (p[6] * 256 + p[7]) * 3, 3 * sizeof(float));
        }
        if (!c.ok)
            return DebugLog("cMd3:: %s : surface %d past end of file", fileName, s);
        surfStart += h.ofsEnd;
    }

    numFrames = fileFrames;
    numTags = fileTags;
    numSurfaces = fileSurfaces;
    char cutName[MD3_NAME_SIZE];
    CopyName(cutName, headerName);
    name = cutName;
    frames.swap(newFrames);
    surfaces.swap(newSurfaces);
    links.assign(numTags, nullptr);
    return true;
}
