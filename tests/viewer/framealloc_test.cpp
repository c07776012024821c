// The viewer's whole frame allocates nothing once warm: a player with its weapon, the overlay
// with statistics and lists (game look), then the open console, through the real frame loop.
// Allocations made while the GL driver is on the stack are counted apart and only reported;
// sanitizer builds run the frames without counting.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "fs/filemgr.h"
#include "image/texturemgr.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "platform/log.h"
#include "shader/shadermgr.h"
#include "support/allochook.h"
#include "support/gamepak.h"
#include "support/testutil.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace
{
const int WARM_UP = 10, COUNTED = 100;

// Counts from the frame after the warm-up for COUNTED frames, opening the console half-way (it
// was open for a frame of the warm-up, which loads its image).
class CountingViewer : public ViewerApp
{
  public:
    void PreFrame() override
    {
        if (frame == 1 || frame == 2)
            gConsole.Toggle();
        if (frame == WARM_UP)
            counter = std::make_unique<AllocCounter>();
        if (frame == WARM_UP + COUNTED / 2)
            gConsole.Toggle();
        if (frame++ == WARM_UP + COUNTED)
        {
            counts = counter->Counts();
            counter.reset();
            SDL_Event quit = {};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
    }
    std::unique_ptr<AllocCounter> counter;
    sAllocCounts counts;
    int frame = 0;
};
} // namespace

TEST(ViewerFrameAllocations, SteadyFramesAllocateNothingInOurCode)
{
    TempDir dir;
    ScopedWorkDir work(dir.Path());
    mkdir(dir.File("game").c_str(), 0755);
    mkdir(dir.File("game/baseq3").c_str(), 0755);
    ASSERT_TRUE(WriteFileBytes(dir.File("game/baseq3/pak0.pk3"), BuildGamePak()));
    ASSERT_TRUE(WriteFileBytes(dir.File("font.tga"), SolidTga({255, 255, 255})));
    ASSERT_TRUE(WriteFileBytes(dir.File("console.tga"), SolidTga({40, 40, 40})));
    ASSERT_TRUE(
        WriteFileText(dir.File("app.cfg"), "q3apath = " + dir.File("game") +
                                               "\ngamelook = 1\nwidth = 1024\nheight = 768\nvsync = 0\n"
                                               "fontfile = font.tga\n"));
    auto viewer = std::make_unique<CountingViewer>();
    ASSERT_TRUE(viewer->Init("app.cfg"));
    ASSERT_TRUE(viewer->CurrentModel() && viewer->CurrentModel()->IsLoaded() && viewer->CurrentWeapon());
    ASSERT_TRUE(viewer->showText);
    // Steady frames: the pointer that another program on the display left in the window stays out.
    SDL_EventState(SDL_MOUSEMOTION, SDL_IGNORE);
    viewer->Run();
    SDL_EventState(SDL_MOUSEMOTION, SDL_ENABLE);
    EXPECT_EQ(viewer->frame, WARM_UP + COUNTED + 1);
    EXPECT_TRUE(gConsole.IsOpen());
    const sAllocCounts c = viewer->counts;
    if (ALLOC_COUNTED)
    {
        EXPECT_EQ(c.ourNews, 0) << "operator new in our code in " << COUNTED << " frames";
        EXPECT_EQ(c.ourMallocs, 0) << "malloc in our code in " << COUNTED << " frames";
    }
    const std::string driver =
        std::to_string(c.driverNews) + " new, " + std::to_string(c.driverMallocs) + " malloc";
    RecordProperty("driverAllocations", driver);
    std::printf("GL driver allocations in %d viewer frames: %s\n", COUNTED, driver.c_str());

    if (gConsole.IsOpen())
        gConsole.Toggle();
    viewer.reset();
    CloseLogFiles();
    gRessMgr.Reset();
    gTextureMgr.Destroy();
    gShaderMgr.Reset();
    gFileMgr.Reset();
    gConsole.Reset();
}
