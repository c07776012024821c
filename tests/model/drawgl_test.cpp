#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "image/texturemgr.h"
#include "model/drawer.h"
#include "model/modelq3.h"
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

// Drawing through the model drawer allocates nothing once every shader is loaded (a name that
// leads nowhere first), in both looks; the GL driver's allocations are not counted.
TEST(ModelGL, SteadyFramesAllocateNothingInOurCode)
{
    ASSERT_TRUE(OpenTestGLContext(160, 120)) << "no GL context: run under a display (xvfb-run)";
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glOrtho(-1, 4, -1, 4, -1, 1);
    gFileMgr.Reset();
    gShaderMgr.Reset();
    gShaderMgr.Init();
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    for (const char* name : {"a.tga", "b.tga", "skin.tga"})
        WriteFileBytes(name, BuildTga(2, 24, 2, 2, 0, Bytes(2 * 2 * 3, 128)));
    const std::string script =
        "models/alloc/stages\n{\ncull none\n{\nmap a.tga\nrgbGen wave sin 0.5 0.5 0 1\n}\n{\nclampmap b.tga\n"
        "blendfunc add\ntcmod scroll 1 0\ntcmod rotate 30\ntcmod turb 0 0.1 0 1\n"
        "tcmod stretch sin 1 0.1 0 1\nalphaGen wave square 0 1 0 2\n}\n{\nanimmap 4 a.tga b.tga missing.tga\n"
        "alphafunc ge128\ndepthfunc equal\n}\n{\nmap $lightmap\n}\n{\nmap a.tga\ntcGen environment\n"
        "rgbGen lightingDiffuse\n}\n}\nmodels/alloc/sprite\n{\ndeformVertexes autosprite\n{\nmap b.tga\n"
        "rgbGen lightingDiffuse\n}\n}\nmodels/alloc/moving\n{\ndeformVertexes wave 10 sin 0 1 0 1\n{\n"
        "map a.tga\n}\n}\n";
    memfile_t file(reinterpret_cast<const unsigned char*>(script.data()), script.size(), "alloc.shader",
                   false);
    ASSERT_TRUE(gShaderMgr.ParseScript(file));
    const char* const names[] = {"models/alloc/nothing/at/all", "models/alloc/stages", "models/alloc/sprite",
                                 "models/alloc/moving", "skin"};
    sMd3Surface quad; // as sprites are made
    quad.numVerts = 4;
    quad.numIndices = 6;
    quad.indices = {0, 1, 2, 2, 1, 3};
    quad.st = {0, 0, 1, 0, 0, 1, 1, 1};
    const float xyz[12] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0},
                normals[12] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    for (bool look : {false, true})
    {
        gGameLook = look;
        {
            AllocCounter warmUp;
            SetFakeClock(0.0);
            for (const char* name : names) // loads the textures
                ModelDrawer().DrawSurface(quad, name, xyz, normals);
            EXPECT_TRUE(look || !ALLOC_COUNTED || warmUp.Counts().ourNews > 0)
                << "the counter must see loading";
        }
        AllocCounter counter;
        for (int i = 1; i <= 100; i++)
        {
            SetFakeClock(i * 0.02); // two seconds: every animation frame and wave phase
            for (const char* name : names)
                ModelDrawer().DrawSurface(quad, name, xyz, normals);
        }
        EXPECT_EQ(counter.Counts().Ours(), 0) << "allocations of our code in 100 frames, game look " << look;
    }
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); // the grey skin shows where the quad lies
    ModelDrawer().DrawSurface(quad, "skin", xyz, normals);
    unsigned char rgba[4];
    ReadTestPixel(48, 36, rgba);
    EXPECT_GT(rgba[0], 40);
    gGameLook = false;
    ClearFakeClock();
    gTess.Reset();
    gShaderMgr.Reset();
    gTextureMgr.Destroy();
    gFileMgr.Reset();
}
