// Builder of MD3 files in memory, for fixtures written by the tests.
//   Md3Builder b(2);                       // two frames
//   b.AddTag("tag_head");                  // identity in every frame
//   Md3Builder::Surface& s = b.AddSurface("body", 3, "models/x/skin.tga");
//   s.triangles = {0, 1, 2};
//   s.Vertex(1, 0) = {64, 0, 0, 0, 0};     // frame 1, vertex 0: x, y, z, normal i, j
//   std::vector<unsigned char> md3 = b.Build(&layout);
// Each test changes one field, before Build through the records or after it with Put32 at the
// offsets Build reports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Md3Builder
{
  public:
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
        std::vector<Vert> verts;        // numFrames * numVerts, frame by frame
        int frames = 0;

        Vert& Vertex(int frame, int v) { return verts[frame * numVerts + v]; }
    };

    struct Layout
    {
        std::vector<uint32_t> surfaces; // start of each surface
    };

    explicit Md3Builder(int frames = 1) : numFrames(frames) {}

    // Adds a tag to every frame, identity axes at the origin.
    void AddTag(const std::string& name);
    Tag& GetTag(int frame, int t) { return tags[frame][t]; }
    // Adds a surface of numVerts zero vertices (every frame) with one shader name, or none.
    Surface& AddSurface(const std::string& name, int numVerts, const std::string& shader = "");

    std::vector<unsigned char> Build(Layout* layout = nullptr) const;

    int numFrames;
    std::string name = "test.md3";
    std::vector<std::vector<Tag>> tags; // per frame
    std::vector<Surface> surfaces;
};

// Offsets of file header and surface header fields, for patching built files.
enum
{
    MD3_OFS_VERSION = 4,
    MD3_OFS_NUM_FRAMES = 76,
    MD3_OFS_NUM_TAGS = 80,
    MD3_OFS_NUM_SURFACES = 84,
    MD3_OFS_OFS_FRAMES = 92,
    MD3_OFS_OFS_TAGS = 96,
    MD3_OFS_OFS_SURFACES = 100,
    SURF_OFS_NAME = 4,
    SURF_OFS_NUM_SHADERS = 76,
    SURF_OFS_NUM_VERTS = 80,
    SURF_OFS_NUM_TRIANGLES = 84,
    SURF_OFS_OFS_TRIANGLES = 88,
    SURF_OFS_OFS_SHADERS = 92,
    SURF_OFS_OFS_ST = 96,
    SURF_OFS_OFS_XYZ = 100,
    SURF_OFS_OFS_END = 104
};
