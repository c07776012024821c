// Writes MD3 files laid out as header, frame records, tag block, then surfaces, each surface
// holding its header, shaders, triangles, texture coordinates and vertices in that order.
#include "support/md3builder.h"

#include <algorithm>
#include <cstring>

namespace
{
void PutBytes(std::vector<unsigned char>& out, const void* data, size_t len)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    out.insert(out.end(), p, p + len);
}

void PutInt(std::vector<unsigned char>& out, int32_t v)
{
    uint32_t u = static_cast<uint32_t>(v);
    unsigned char b[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                          static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    PutBytes(out, b, 4);
}

void PutFloat(std::vector<unsigned char>& out, float f)
{
    int32_t v;
    memcpy(&v, &f, 4);
    PutInt(out, v);
}

void PutShort(std::vector<unsigned char>& out, int16_t v)
{
    uint16_t u = static_cast<uint16_t>(v);
    unsigned char b[2] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8)};
    PutBytes(out, b, 2);
}

// A fixed name field; a name of the full width has no terminator.
void PutName(std::vector<unsigned char>& out, const std::string& name, size_t width)
{
    std::vector<unsigned char> field(width, 0);
    memcpy(field.data(), name.data(), name.size() < width ? name.size() : width);
    PutBytes(out, field.data(), width);
}
} // namespace

void Md3Builder::AddTag(const std::string& tagName)
{
    tags.resize(numFrames);
    for (auto& frame : tags)
    {
        frame.emplace_back();
        frame.back().name = tagName;
    }
}

Md3Builder::Surface& Md3Builder::AddSurface(const std::string& surfName, int numVerts,
                                            const std::string& shader)
{
    surfaces.emplace_back();
    Surface& s = surfaces.back();
    s.name = surfName;
    if (!shader.empty())
        s.shaders.push_back(shader);
    s.numVerts = numVerts;
    s.frames = numFrames;
    s.st.assign(numVerts * 2, 0.0f);
    s.verts.assign(static_cast<size_t>(numVerts) * numFrames, Vert());
    return s;
}

std::vector<unsigned char> Md3Builder::Build(Layout* layout) const
{
    const int numTags = tags.empty() ? 0 : static_cast<int>(tags[0].size());
    const int ofsFrames = 108;
    const int ofsTags = ofsFrames + numFrames * 56;
    const int ofsSurfaces = ofsTags + numFrames * numTags * 112;
    std::vector<unsigned char> out;
    PutBytes(out, "IDP3", 4);
    PutInt(out, 15);
    PutName(out, name, 64);
    PutInt(out, 0);
    PutInt(out, numFrames);
    PutInt(out, numTags);
    PutInt(out, static_cast<int32_t>(surfaces.size()));
    PutInt(out, 0);
    PutInt(out, ofsFrames);
    PutInt(out, ofsTags);
    PutInt(out, ofsSurfaces);
    size_t ofsEndField = out.size();
    PutInt(out, 0);

    // Each frame's box holds the origin and the frame's vertices.
    for (int f = 0; f < numFrames; f++)
    {
        float box[6] = {0, 0, 0, 0, 0, 0};
        for (const Surface& s : surfaces)
            for (int v = 0; f < s.frames && v < s.numVerts; v++)
            {
                const Vert& p = s.verts[f * s.numVerts + v];
                const float xyz[3] = {p.x / 64.0f, p.y / 64.0f, p.z / 64.0f};
                for (int k = 0; k < 3; k++)
                {
                    box[k] = std::min(box[k], xyz[k]);
                    box[k + 3] = std::max(box[k + 3], xyz[k]);
                }
            }
        for (int k = 0; k < 10; k++)
            PutFloat(out, k < 6 ? box[k] : 0);
        PutName(out, "frame", 16);
    }
    for (int f = 0; f < numFrames && numTags; f++)
        for (const Tag& tag : tags[f])
        {
            PutName(out, tag.name, 64);
            for (float v : tag.origin)
                PutFloat(out, v);
            for (const auto& row : tag.axis)
                for (float v : row)
                    PutFloat(out, v);
        }

    if (layout)
        layout->surfaces.clear();
    for (const Surface& s : surfaces)
    {
        const size_t start = out.size();
        if (layout)
            layout->surfaces.push_back(static_cast<uint32_t>(start));
        const int numShaders = static_cast<int>(s.shaders.size());
        const int numTris = static_cast<int>(s.triangles.size() / 3);
        const int ofsShaders = 108;
        const int ofsTris = ofsShaders + numShaders * 68;
        const int ofsSt = ofsTris + numTris * 12;
        const int ofsXyz = ofsSt + s.numVerts * 8;
        const int ofsEnd = ofsXyz + s.numVerts * s.frames * 8;
        PutBytes(out, "IDP3", 4);
        PutName(out, s.name, 64);
        PutInt(out, 0);
        PutInt(out, s.frames);
        PutInt(out, numShaders);
        PutInt(out, s.numVerts);
        PutInt(out, numTris);
        PutInt(out, ofsTris);
        PutInt(out, ofsShaders);
        PutInt(out, ofsSt);
        PutInt(out, ofsXyz);
        PutInt(out, ofsEnd);
        for (int k = 0; k < numShaders; k++)
        {
            PutName(out, s.shaders[k], 64);
            PutInt(out, k);
        }
        for (int32_t index : s.triangles)
            PutInt(out, index);
        for (float v : s.st)
            PutFloat(out, v);
        for (const Vert& v : s.verts)
        {
            PutShort(out, v.x);
            PutShort(out, v.y);
            PutShort(out, v.z);
            out.push_back(v.normalI);
            out.push_back(v.normalJ);
        }
    }
    uint32_t end = static_cast<uint32_t>(out.size());
    memcpy(&out[ofsEndField], &end, 4);
    return out;
}
