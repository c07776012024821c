// MD3 files written in memory. Tests change one field, before Build through the records or
// after it with Put32 at the offsets below and in the Layout.
#pragma once

#include "support/testutil.h"

#include <algorithm>

struct Md3Builder
{
    struct Tag
    {
        std::string name;
        float origin[3] = {0, 0, 0};
        float axis[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    };
    struct Vert
    {
        int16_t x = 0, y = 0, z = 0;
        uint8_t normalI = 0, normalJ = 0;
    };
    struct Surface
    {
        std::string name;
        std::vector<std::string> shaders;
        int numVerts = 0;
        std::vector<int32_t> triangles; // three vertex indices each
        std::vector<float> st;          // two per vertex
        std::vector<Vert> verts;        // numVerts per frame, frame by frame
        int frames = 0;
        Vert& Vertex(int frame, int v) { return verts[frame * numVerts + v]; }
    };
    struct Layout
    {
        std::vector<uint32_t> surfaces; // start of each surface
    };

    explicit Md3Builder(int frames = 1) : numFrames(frames) {}
    // A tag in every frame, identity axes at the origin.
    void AddTag(const std::string& tagName)
    {
        tags.resize(numFrames);
        for (auto& frame : tags)
            frame.push_back({tagName});
    }
    Tag& GetTag(int frame, int t) { return tags[frame][t]; }
    // A surface of numVerts zero vertices in every frame with one shader name, or none.
    Surface& AddSurface(const std::string& surfName, int numVerts, const std::string& shader = "")
    {
        surfaces.push_back({surfName, {}, numVerts, {}, {}, {}, numFrames});
        surfaces.back().shaders.assign(!shader.empty(), shader);
        surfaces.back().st.resize(numVerts * 2);
        surfaces.back().verts.resize(numVerts * numFrames);
        return surfaces.back();
    }

    Bytes Build(Layout* layout = nullptr) const
    {
        const int numTags = tags.empty() ? 0 : static_cast<int>(tags[0].size());
        const int ofsTags = 108 + numFrames * 56;
        Bytes out{'I', 'D', 'P', '3', 15, 0, 0, 0};
        PutName(out, name, 64);
        Put(out, std::vector<int>{0, numFrames, numTags, static_cast<int>(surfaces.size()), 0, 108, ofsTags,
                                  ofsTags + numFrames * numTags * 112, 0});
        for (int f = 0; f < numFrames; f++) // a box round the origin and the frame's vertices
        {
            std::vector<float> box(10, 0.0f);
            for (const Surface& s : surfaces)
                for (int i = 0; f < s.frames && i < s.numVerts * 3; i++)
                {
                    const Vert& p = s.verts[f * s.numVerts + i / 3];
                    const float c = (i % 3 == 0 ? p.x : i % 3 == 1 ? p.y : p.z) / 64.0f;
                    box[i % 3] = std::min(box[i % 3], c), box[i % 3 + 3] = std::max(box[i % 3 + 3], c);
                }
            Put(out, box);
            PutName(out, "frame", 16);
        }
        for (int f = 0; f < numFrames && numTags; f++)
            for (const Tag& tag : tags[f])
            {
                PutName(out, tag.name, 64);
                const float(&a)[3][3] = tag.axis;
                Put(out, std::vector<float>{tag.origin[0], tag.origin[1], tag.origin[2], a[0][0], a[0][1],
                                            a[0][2], a[1][0], a[1][1], a[1][2], a[2][0], a[2][1], a[2][2]});
            }
        if (layout)
            layout->surfaces.clear();
        for (const Surface& s : surfaces)
        {
            if (layout)
                layout->surfaces.push_back(static_cast<uint32_t>(out.size()));
            const int numShaders = static_cast<int>(s.shaders.size()),
                      numTris = static_cast<int>(s.triangles.size() / 3);
            const int ofsTris = 108 + numShaders * 68, ofsSt = ofsTris + numTris * 12,
                      ofsXyz = ofsSt + s.numVerts * 8;
            out.insert(out.end(), {'I', 'D', 'P', '3'});
            PutName(out, s.name, 64);
            Put(out, std::vector<int>{0, s.frames, numShaders, s.numVerts, numTris, ofsTris, 108, ofsSt,
                                      ofsXyz, ofsXyz + s.numVerts * s.frames * 8});
            for (int k = 0; k < numShaders; k++)
                PutName(out, s.shaders[k], 64), Put(out, std::vector<int>{k});
            Put(out, s.triangles);
            Put(out, s.st);
            Put(out, s.verts); // packed records of three shorts and two bytes, as in the file
        }
        Put32(out, 104, static_cast<uint32_t>(out.size()));
        return out;
    }

    int numFrames;
    std::string name = "test.md3";
    std::vector<std::vector<Tag>> tags; // per frame
    std::vector<Surface> surfaces;
    // Values as they lie in memory, which is the file's little-endian order.
    template <class T> static void Put(Bytes& out, const std::vector<T>& values)
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(values.data());
        out.insert(out.end(), p, p + values.size() * sizeof(T));
    }
    // A fixed name field; a name of the full width has no terminator.
    static void PutName(Bytes& out, const std::string& text, size_t width)
    {
        out.insert(out.end(), text.begin(), text.begin() + std::min(text.size(), width));
        out.resize(out.size() + width - std::min(text.size(), width));
    }
};
static_assert(sizeof(Md3Builder::Vert) == 8, "vertices are written as they lie in memory");

// Offsets of file and surface header fields.
const int MD3_OFS_VERSION = 4, MD3_OFS_NUM_FRAMES = 76, MD3_OFS_NUM_TAGS = 80, MD3_OFS_NUM_SURFACES = 84,
          MD3_OFS_OFS_FRAMES = 92, MD3_OFS_OFS_TAGS = 96, MD3_OFS_OFS_SURFACES = 100,
          SURF_OFS_NUM_SHADERS = 76, SURF_OFS_NUM_VERTS = 80, SURF_OFS_NUM_TRIANGLES = 84,
          SURF_OFS_OFS_TRIANGLES = 88, SURF_OFS_OFS_SHADERS = 92, SURF_OFS_OFS_ST = 96,
          SURF_OFS_OFS_XYZ = 100, SURF_OFS_OFS_END = 104;
