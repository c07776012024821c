// MD3 decoding, once the layout is checked: tags to origins and rotations, shader names,
// reversed triangles, flipped texture coordinates, and vertex frames kept packed.
#include "model/md3_parser.h"

#include <algorithm>
#include <cmath>
#include <cstring>

// Tag t of frame f is record f * numTags + t of the tag block.
bool cMd3Parser::ReadTags(std::vector<sMd3Frame>& frames)
{
    frames.resize(header.numFrames);
    r.Seek(header.ofsTags);
    for (sMd3Frame& frame : frames)
    {
        frame.tags.resize(header.numTags);
        for (int32_t t = 0; t < header.numTags; t++)
        {
            sMd3Tag& tag = frame.tags[t];
            r.Read(tag.name, MD3_NAME_SIZE);
            if (!memchr(tag.name, 0, MD3_NAME_SIZE))
                return Refuse("tag name without an end", "cMd3:: %s : tag %d has an unterminated name",
                              fileName, t);
            float axis[3][3];
            for (float& v : tag.origin)
                v = r.F32();
            for (auto& row : axis)
                for (float& v : row)
                    v = r.F32();
            AxesToQuaternion(axis, tag.rotation);
        }
    }
    return r.Ok() || Refuse("tags past end of file", "cMd3:: %s : tags past end of file", fileName);
}

bool cMd3Parser::ReadSurface(int32_t s, sMd3Surface& surf)
{
    const sMd3SurfaceHeader& h = surfaceHeaders[s];
    Md3CopyName(surf.name, h.name);
    surf.numShaders = h.numShaders;
    surf.numVerts = h.numVerts;
    surf.numIndices = 3u * h.numTriangles;
    ReadShaders(h, surf);
    if (!ReadTriangles(s, h, surf))
        return false;
    ReadTexCoords(h, surf);
    return ReadVertices(s, h, surf);
}

// The plain rule replaces the first character of a file shader name by 'm'; the first name is
// also kept as stored.
void cMd3Parser::ReadShaders(const sMd3SurfaceHeader& h, sMd3Surface& surf)
{
    r.Seek(h.start + h.ofsShaders);
    for (int32_t k = 0; k < h.numShaders && k < MD3_MAX_FILE_SHADERS; k++)
    {
        const char* shaderName = reinterpret_cast<const char*>(r.Bytes(MD3_SHADER_SIZE));
        if (!shaderName)
            return;
        if (k == 0)
            Md3CopyName(surf.fileShader.name, shaderName);
        Md3CopyName(surf.shaders[k].name, shaderName);
        surf.shaders[k].name[0] = 'm';
    }
}

// Triangles are stored with their winding reversed.
bool cMd3Parser::ReadTriangles(int32_t s, const sMd3SurfaceHeader& h, sMd3Surface& surf)
{
    surf.indices.resize(surf.numIndices);
    std::vector<bool> used(h.numVerts);
    r.Seek(h.start + h.ofsTriangles);
    for (int32_t t = 0; t < h.numTriangles; t++)
        for (int k = 2; k >= 0; k--)
        {
            const int32_t v = r.S32();
            if (v < 0 || v >= h.numVerts)
                return Refuse("triangle with a missing vertex",
                              "cMd3:: %s : surface %d triangle %d uses vertex %d of %d", fileName, s, t, v,
                              h.numVerts);
            surf.indices[t * 3 + k] = v;
            used[v] = true;
        }
    surf.everyVertexUsed = std::find(used.begin(), used.end(), false) == used.end();
    return true;
}

// Texture coordinates are stored with t flipped.
void cMd3Parser::ReadTexCoords(const sMd3SurfaceHeader& h, sMd3Surface& surf)
{
    surf.st.resize(static_cast<size_t>(h.numVerts) * 2);
    r.Seek(h.start + h.ofsSt);
    for (int32_t v = 0; v < h.numVerts; v++)
    {
        surf.st[v * 2] = r.F32();
        surf.st[v * 2 + 1] = 1.0f - r.F32();
    }
}

// Every frame's vertices stay packed: the three coordinates as they are, the two normal bytes
// as one code (see Md3Normal).
bool cMd3Parser::ReadVertices(int32_t s, const sMd3SurfaceHeader& h, sMd3Surface& surf)
{
    const size_t total = static_cast<size_t>(h.numVerts) * header.numFrames;
    r.Seek(h.start + h.ofsXyzNormals);
    const unsigned char* p = r.Bytes(total * MD3_VERTEX_SIZE);
    if (!p || !r.Ok())
        return Refuse("surface past end of file", "cMd3:: %s : surface %d past end of file", fileName, s);
    surf.xyz.coords.resize(total * 3);
    surf.normals.codes.resize(total);
    for (size_t v = 0; v < total; v++, p += MD3_VERTEX_SIZE)
    {
        for (int k = 0; k < 3; k++)
            surf.xyz.coords[v * 3 + k] = static_cast<int16_t>(p[k * 2] | (p[k * 2 + 1] << 8));
        surf.normals.codes[v] = static_cast<uint16_t>(p[6] * 256 + p[7]);
    }
    return true;
}

// Each frame record starts with the frame's box, lowest corner first. Values that are not
// finite leave the box empty; the rest of the record (origin, radius, name) is not used.
void cMd3Parser::ReadFrameBounds(std::vector<sMd3Frame>& frames)
{
    r.Seek(header.ofsFrames);
    for (sMd3Frame& frame : frames)
    {
        float box[6];
        bool finite = true;
        for (float& v : box)
        {
            v = r.F32();
            finite = finite && std::isfinite(v);
        }
        r.Skip(MD3_FRAME_SIZE - sizeof box);
        if (!finite || !r.Ok())
            continue;
        std::copy(box, box + 3, frame.mins);
        std::copy(box + 3, box + 6, frame.maxs);
    }
}
