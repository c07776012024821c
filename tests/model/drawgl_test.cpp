// Models drawn in a real GL context through the shader library and the geometry batch: a child
// on a tag with long axes seen in the pixels, and steady frames that allocate nothing.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "image/texturemgr.h"
#include "model/drawer.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "platform/clock.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/allochook.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/md3builder.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace
{
const int W = 160, H = 120;

// An orthographic view of x and y in [-10, 10]; "$default" draws white.
class ModelGLTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGLContext(W, H)) << "no GL context: run under a display (xvfb-run)";
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-10, 10, -10, 10, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gFileMgr.Reset();
        gTextureMgr.Destroy();
        gShaderMgr.Reset();
        gShaderMgr.Init();
        gTess.Reset();
    }
    void TearDown() override
    {
        gGameLook = false;
        ClearFakeClock();
        gTess.Reset();
        gShaderMgr.Reset();
        gTextureMgr.Destroy();
        gFileMgr.Reset();
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
};

void Load(cMd3& model, const Md3Builder& b)
{
    std::vector<unsigned char> bytes = b.Build();
    memfile_t view(bytes.data(), static_cast<uint32_t>(bytes.size()), "gl.md3", false);
    ASSERT_TRUE(model.LoadFromFile(view));
}
} // namespace

// The tag sits at (5, 0), turned a quarter round z, with axes 4.6 long; frame 1 holds the same
// rotation with the opposite sign, so half-way between the frames nothing moves. The child is a
// bar along its x axis, wound clockwise in the file (the loader turns it to face the viewer).
TEST_F(ModelGLTest, ChildOnALongAxisTagIsRotatedButNotScaled)
{
    Md3Builder pb(2), cb(1);
    pb.AddTag("tag_child");
    const float quarter[3][3] = {{0, 4.6f, 0}, {-4.6f, 0, 0}, {0, 0, 4.6f}};
    for (int f = 0; f < 2; f++)
    {
        memcpy(pb.GetTag(f, 0).axis, quarter, sizeof quarter);
        pb.GetTag(f, 0).origin[0] = 5;
    }
    Md3Builder::Surface& bar = cb.AddSurface("box", 4, "$default");
    bar.triangles = {0, 2, 1, 0, 3, 2};
    const int16_t corners[4][2] = {{0, -32}, {256, -32}, {256, 32}, {0, 32}};
    for (int v = 0; v < 4; v++)
        bar.Vertex(0, v) = {corners[v][0], corners[v][1], 0, 0, 0};
    cMd3 parent, child;
    Load(parent, pb);
    Load(child, cb);
    parent.AttachToTag("tag_child", &child);
    for (float& q : parent.frames[1].tags[0].rotation)
        q = -q;
    sAnimState state;
    parent.animState = &state;
    glClearColor(0, 0, 0, 1);
    for (float f : {0.0f, 0.5f})
    {
        state.nextFrame = f > 0;
        state.fraction = f;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        cModelQ3::RenderTree(&parent);
        // Lit along the turned bar; not where it would lie unturned, scaled by the axis length or
        // sheared.
        const float points[5][2] = {{5, 1}, {5, 3.5f}, {7, 0}, {5, 6}, {3, 2.5f}};
        std::string lit;
        for (const float* p : points)
        {
            unsigned char rgba[4];
            ReadTestPixel(static_cast<int>((p[0] + 10) / 20 * W), static_cast<int>((p[1] + 10) / 20 * H),
                          rgba);
            lit += rgba[0] > 128 ? '1' : '0';
        }
        EXPECT_EQ(lit, "11000") << f;
    }
}

// Drawing surfaces through the model drawer allocates nothing once every shader is loaded:
// lookups (a name that leads nowhere first, remembered as missing while the others read their
// textures), the batch and the stage set-up, in both looks. Allocations the GL driver makes are
// counted apart; sanitizer builds draw the frames but do not count.
TEST_F(ModelGLTest, SteadyFramesAllocateNothingInOurCode)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    for (const char* name : {"a.tga", "b.tga", "skin.tga"})
        WriteFileBytes(name, BuildTga(2, 24, 2, 2, 0, Bytes(2 * 2 * 3, 128)));
    const std::string script =
        "models/alloc/stages\n{\ncull none\n{\nmap a.tga\nrgbGen wave sin 0.5 0.5 0 1\n}\n"
        "{\nclampmap b.tga\nblendfunc add\ntcmod scroll 1 0\ntcmod rotate 30\ntcmod turb 0 0.1 0 1\n"
        "tcmod stretch sin 1 0.1 0 1\nalphaGen wave square 0 1 0 2\n}\n"
        "{\nanimmap 4 a.tga b.tga missing.tga\nalphafunc ge128\ndepthfunc equal\n}\n"
        "{\nmap $lightmap\n}\n{\nmap a.tga\ntcGen environment\nrgbGen lightingDiffuse\n}\n}\n"
        "models/alloc/sprite\n{\ndeformVertexes autosprite\n{\nmap b.tga\nrgbGen lightingDiffuse\n}\n}\n"
        "models/alloc/moving\n{\ndeformVertexes wave 10 sin 0 1 0 1\n{\nmap a.tga\n}\n}\n";
    memfile_t file(reinterpret_cast<const unsigned char*>(script.data()),
                   static_cast<uint32_t>(script.size()), "alloc.shader", false);
    ASSERT_TRUE(gShaderMgr.ParseScript(file));
    const char* const names[] = {"models/alloc/nothing/at/all", "models/alloc/stages", "models/alloc/sprite",
                                 "models/alloc/moving", "skin"};
    // Two quads facing +z, four vertexes each, as sprites are made.
    sMd3Surface quads;
    quads.numVerts = 8;
    quads.numIndices = 12;
    quads.indices = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
    quads.st = {0, 0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1};
    const float xyz[24] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 2, 0, 0, 3, 0, 0, 2, 1, 0, 3, 1, 0};
    const float normals[24] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    for (bool look : {false, true})
    {
        gGameLook = look;
        {
            AllocCounter warmUp;
            SetFakeClock(0.0);
            for (const char* name : names) // loads the textures
                ModelDrawer().DrawSurface(quads, name, xyz, normals);
            EXPECT_TRUE(look || !ALLOC_COUNTED || warmUp.Counts().ourNews > 0)
                << "the counter must see loading";
        }
        AllocCounter counter;
        for (int i = 1; i <= 100; i++)
        {
            SetFakeClock(i * 0.02); // two seconds: every animation frame and wave phase
            for (const char* name : names)
                ModelDrawer().DrawSurface(quads, name, xyz, normals);
        }
        const sAllocCounts c = counter.Counts();
        EXPECT_EQ(c.Ours(), 0) << "allocations of our code in 100 frames, game look " << look;
        const std::string driver =
            std::to_string(c.driverNews) + " new, " + std::to_string(c.driverMallocs) + " malloc";
        RecordProperty(look ? "driverAllocationsGameLook" : "driverAllocations", driver);
        std::printf("GL driver allocations in 100 frames, game look %d: %s\n", look, driver.c_str());
    }
}
