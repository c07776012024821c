// A name that leads to no shader and no image is searched once while the file layer stays
// as it is; anything that changes the file layer makes it worth searching again.
#include "glfixture.h"
#include "fs/filemgr.h"
#include "image/texturemgr.h"
#include "support/imagebuild.h"
#include "support/testutil.h"

TEST_F(ShaderGLTest, MissedNameIsSearchedAgainOnlyAfterTheFileLayerChanges)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    gFileMgr.Reset();
    gTextureMgr.Destroy();

    EXPECT_EQ(gShaderMgr.Load("late"), 0);
    // The image appears on disk, but nothing told the file layer: the miss is remembered.
    const Bytes grey(2 * 2 * 3, 128);
    WriteFileBytes(dir.File("late.tga"), BuildTga(2, 24, 2, 2, 0, grey));
    EXPECT_EQ(gShaderMgr.Load("late"), 0);
    EXPECT_EQ(gShaderMgr.Find("late"), -1);

    // Reading any new file changes the file layer, so the name is tried again.
    WriteFileText(dir.File("other.txt"), "x");
    ASSERT_NE(gFileMgr.find("other.txt", "rb"), nullptr);
    const int late = gShaderMgr.Load("late");
    EXPECT_GT(late, 0);
    EXPECT_EQ(gShaderMgr.Find("late"), late);

    gTextureMgr.Destroy();
    gFileMgr.Reset();
}
