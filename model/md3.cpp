// MD3 loading: checks every count and offset of the file against its size, then decodes
// positions, normals, texture coordinates, indices and tags once so drawing only blends.
#include "model/md3.h"

#include "platform/log.h"
#include "fs/memfile.h"
#include "platform/bytereader.h"

#include <cmath>
#include <cstdarg>
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

// True when count records of recSize bytes start at ofs and end inside the file; negative
// offsets and counts never fit.
bool Fits(const cByteReader& r, int64_t ofs, int64_t count, int64_t recSize)
{
    return ofs >= 0 && count >= 0 &&
           r.Fits(static_cast<uint64_t>(ofs), static_cast<uint64_t>(count), recSize);
}

// Copies a fixed 64-byte name field, cut to 63 characters when it has no terminator.
void CopyName(char out[MD3_NAME_SIZE], const char* field)
{
    snprintf(out, MD3_NAME_SIZE, "%.*s", static_cast<int>(strnlen(field, MD3_NAME_SIZE - 1)), field);
}

// Writes the full message to the debug file and keeps the short reason for the caller that
// wants to show it; answers false like DebugLog.
bool Refuse(std::string& error, const char* reason, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
bool Refuse(std::string& error, const char* reason, const char* format, ...)
{
    char message[512];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    error = reason;
    return DebugLog("%s", message);
}

struct sSurfaceHeader
{
    char name[MD3_NAME_SIZE];
    int32_t numShaders, numVerts, numTriangles;
    int32_t ofsTriangles, ofsShaders, ofsSt, ofsXyzNormals, ofsEnd;
};

bool ReadSurfaceHeader(cByteReader& r, sSurfaceHeader& h)
{
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
    {
        loadError = "empty file";
        return false;
    }
    Clear();
    loadError.clear();
    std::string& err = loadError;
    cByteReader r(data, size);
    if (size < MD3_HEADER_SIZE)
        return Refuse(err, "file too short", "cMd3:: %s : file too short for a header (%u bytes)", fileName,
                      size);
    const unsigned char* ident = r.Bytes(4);
    if (memcmp(ident, "IDP3", 4) != 0)
        return Refuse(err, "not an md3 file", "cMd3:: this : %s file is not a valid md3 file", fileName);
    if (r.S32() != MD3_VERSION)
        return Refuse(err, "wrong md3 version", "cMd3:: this : %s file has a wrong version", fileName);

    char headerName[MD3_NAME_SIZE];
    r.Read(headerName, MD3_NAME_SIZE);
    r.S32(); // flags
    int32_t fileFrames = r.S32();
    int32_t fileTags = r.S32();
    int32_t fileSurfaces = r.S32();
    r.S32(); // skins
    r.S32(); // frame records are not used
    int32_t ofsTags = r.S32();
    int32_t ofsSurfaces = r.S32();

    if (fileFrames < 0 || fileFrames > MD3_MAX_FRAMES)
        return Refuse(err, "bad frame count", "cMd3:: %s : bad frame count %d", fileName, fileFrames);
    if (fileTags < 0 || fileTags > MD3_MAX_TAGS)
        return Refuse(err, "bad tag count", "cMd3:: %s : bad tag count %d", fileName, fileTags);
    if (!Fits(r, ofsSurfaces, fileSurfaces, MD3_SURFACE_HEADER_SIZE))
        return Refuse(err, "surfaces past end of file", "cMd3:: %s : bad surface count %d or offset %d",
                      fileName, fileSurfaces, ofsSurfaces);
    if (!Fits(r, ofsTags, static_cast<int64_t>(fileFrames) * fileTags, MD3_TAG_SIZE))
        return Refuse(err, "tags past end of file", "cMd3:: %s : tags past end of file", fileName);

    // Everything is decoded into locals first, so a refused file leaves the model empty.
    std::vector<sMd3Frame> newFrames(fileFrames);
    r.Seek(ofsTags);
    for (int32_t f = 0; f < fileFrames; f++)
    {
        newFrames[f].tags.resize(fileTags);
        for (int32_t t = 0; t < fileTags; t++)
        {
            sMd3Tag& tag = newFrames[f].tags[t];
            char tagName[MD3_NAME_SIZE];
            r.Read(tagName, MD3_NAME_SIZE);
            if (!memchr(tagName, 0, MD3_NAME_SIZE))
                return Refuse(err, "tag name without an end", "cMd3:: %s : tag %d has an unterminated name",
                              fileName, t);
            memcpy(tag.name, tagName, MD3_NAME_SIZE);
            float axis[3][3];
            for (float& v : tag.origin)
                v = r.F32();
            for (auto& row : axis)
                for (float& v : row)
                    v = r.F32();
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
        if (!Fits(r, surfStart, 1, MD3_SURFACE_HEADER_SIZE) || !r.Seek(surfStart) || !ReadSurfaceHeader(r, h))
            return Refuse(err, "surface past end of file", "cMd3:: %s : surface %d past end of file",
                          fileName, s);
        if (h.ofsEnd <= 0 || surfStart + h.ofsEnd > size)
            return Refuse(err, "surface past end of file", "cMd3:: %s : surface %d has a bad end offset %d",
                          fileName, s, h.ofsEnd);
        if (h.numVerts < 0 || h.numVerts > MD3_MAX_VERTS)
            return Refuse(err, "surface with too many vertices",
                          "cMd3:: %s : surface %d has %d vertices (at most %d)", fileName, s, h.numVerts,
                          MD3_MAX_VERTS);
        // Any count of shader records is fine as long as they lie inside the file; the names
        // beyond the fixed slots are not kept. Surface offsets count from the surface start.
        if (h.ofsShaders < 0 || h.ofsTriangles < 0 || h.ofsSt < 0 || h.ofsXyzNormals < 0 ||
            !Fits(r, surfStart + h.ofsShaders, h.numShaders, MD3_SHADER_SIZE) ||
            !Fits(r, surfStart + h.ofsTriangles, h.numTriangles, MD3_TRIANGLE_SIZE) ||
            !Fits(r, surfStart + h.ofsSt, h.numVerts, MD3_ST_SIZE) ||
            !Fits(r, surfStart + h.ofsXyzNormals, static_cast<int64_t>(h.numVerts) * fileFrames,
                  MD3_VERTEX_SIZE))
            return Refuse(err, "surface past end of file",
                          "cMd3:: %s : surface %d has records past end of file", fileName, s);

        sMd3Surface& surf = newSurfaces[s];
        CopyName(surf.name, h.name);
        surf.numShaders = h.numShaders;
        surf.numVerts = h.numVerts;
        surf.numIndices = 3u * h.numTriangles;

        r.Seek(surfStart + h.ofsShaders);
        for (int32_t k = 0; k < h.numShaders && k < MD3_MAX_FILE_SHADERS; k++)
        {
            const char* shaderName = reinterpret_cast<const char*>(r.Bytes(MD3_SHADER_SIZE));
            if (k == 0)
                CopyName(surf.fileShader.name, shaderName);
            // The plain rule replaces the first character of a file shader name by 'm'.
            CopyName(surf.shaders[k].name, shaderName);
            surf.shaders[k].name[0] = 'm';
        }

        // Triangles are stored with their winding reversed.
        surf.indices.resize(surf.numIndices);
        r.Seek(surfStart + h.ofsTriangles);
        for (int32_t t = 0; t < h.numTriangles; t++)
        {
            int32_t v[3];
            for (int32_t& x : v)
            {
                x = r.S32();
                if (x < 0 || x >= h.numVerts)
                    return Refuse(err, "triangle with a missing vertex",
                                  "cMd3:: %s : surface %d triangle %d uses vertex %d of %d", fileName, s, t,
                                  x, h.numVerts);
            }
            surf.indices[t * 3 + 0] = v[2];
            surf.indices[t * 3 + 1] = v[1];
            surf.indices[t * 3 + 2] = v[0];
        }

        surf.st.resize(static_cast<size_t>(h.numVerts) * 2);
        r.Seek(surfStart + h.ofsSt);
        for (int32_t v = 0; v < h.numVerts; v++)
        {
            surf.st[v * 2] = r.F32();
            surf.st[v * 2 + 1] = 1.0f - r.F32();
        }

        // Every frame's vertices, decoded once: positions scaled to floats, normals from the table.
        size_t total = static_cast<size_t>(h.numVerts) * fileFrames;
        surf.xyz.resize(total * 3);
        surf.normals.resize(total * 3);
        r.Seek(surfStart + h.ofsXyzNormals);
        const unsigned char* p = r.Bytes(total * MD3_VERTEX_SIZE);
        if (!p)
            return Refuse(err, "surface past end of file", "cMd3:: %s : surface %d vertices past end of file",
                          fileName, s);
        for (size_t v = 0; v < total; v++, p += MD3_VERTEX_SIZE)
        {
            for (int k = 0; k < 3; k++)
            {
                int16_t x = static_cast<int16_t>(p[k * 2] | (p[k * 2 + 1] << 8));
                surf.xyz[v * 3 + k] = x * 0.015625f;
            }
            memcpy(&surf.normals[v * 3], normalTable + (p[6] * 256 + p[7]) * 3, 3 * sizeof(float));
        }
        if (!r.Ok())
            return Refuse(err, "surface past end of file", "cMd3:: %s : surface %d past end of file",
                          fileName, s);
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
