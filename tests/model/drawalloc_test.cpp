// Drawing surfaces through the model drawer allocates nothing once every shader is loaded:
// lookups, the batch and the stage set-up, in both looks. Allocations the GL driver makes are
// counted apart; sanitizer builds draw the frames but do not count.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "image/texturemgr.h"
#include "model/drawer.h"
#include "model/md3.h"
#include "platform/clock.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/allochook.h"
#include "support/glcontext.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

TEST(DrawAllocations, SteadyFramesAllocateNothingInOurCode)
{
    ASSERT_TRUE(OpenTestGLContext(160, 120)) << "no GL context: run under a display (xvfb-run)";
    glEnable(GL_TEXTURE_2D);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -0.5f);
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();
    gTextureMgr.Destroy();
    gShaderMgr.Reset();
    gShaderMgr.Init();
    gTess.Reset();
    const Bytes grey(2 * 2 * 3, 128);
    for (const char* name : {"a.tga", "b.tga", "skin.tga"})
        WriteFileBytes(dir.File(name), BuildTga(2, 24, 2, 2, 0, grey));
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

    // A name that leads nowhere (drawn with "$default", remembered as missing while the textures
    // of the others are read), scripted shaders, and an image made a shader (lit under the game look).
    const char* const names[] = {"models/alloc/nothing/at/all", "models/alloc/stages", "models/alloc/sprite",
                                 "models/alloc/moving", "skin"};
    // Two quads facing +z, four vertexes each, as sprites are made.
    sMd3Surface quads;
    quads.numVerts = 8;
    quads.numIndices = 12;
    quads.indices = {0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7};
    quads.st = {0, 0, 1, 0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 1, 1, 1};
    const float xyz[24] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 2, 0, 0, 3, 0, 0, 2, 1, 0, 3, 1, 0};
    float normals[24] = {};
    for (int v = 0; v < 8; v++)
        normals[v * 3 + 2] = 1;
    auto frame = [&]
    {
        for (const char* name : names)
            ModelDrawer().DrawSurface(quads, name, xyz, normals);
    };
    for (bool look : {false, true})
    {
        gGameLook = look;
        SetFakeClock(0.0);
        {
            AllocCounter warmUp;
            frame(); // loads the textures on the first pass
            if (!look && ALLOC_COUNTED)
            {
                EXPECT_GT(warmUp.Counts().ourNews, 0) << "the counter must see the loading of the warm-up frame";
            }
        }
        AllocCounter counter;
        for (int i = 1; i <= 100; i++)
        {
            SetFakeClock(i * 0.02); // two seconds: every animation frame and wave phase
            frame();
        }
        const sAllocCounts c = counter.Counts();
        EXPECT_EQ(c.Ours(), 0) << "allocations of our code in 100 frames, game look " << look;
        const std::string driver =
            std::to_string(c.driverNews) + " new, " + std::to_string(c.driverMallocs) + " malloc";
        RecordProperty(look ? "driverAllocationsGameLook" : "driverAllocations", driver);
        std::printf("GL driver allocations in 100 frames of %zu surfaces, game look %d: %s\n",
                    sizeof names / sizeof names[0], look, driver.c_str());
    }
    gGameLook = false;
    ClearFakeClock();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    gTess.Reset();
    gShaderMgr.Reset();
    gTextureMgr.Destroy();
    gFileMgr.Reset();
}
