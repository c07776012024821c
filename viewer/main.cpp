// Program entry: the command line is parsed into an options record, and the one viewer object
// runs as it says, from start-up to the end of the frame loop.
#include "viewer/cmdline.h"
#include "viewer/viewerapp.h"

#include <SDL.h>

#include <cstdlib>
#include <iostream>

namespace
{
// For start-up measurements (scripts/startup-check.sh): with KEL_EXIT_AFTER_FIRST_FRAME=1 in the
// environment the program ends once its first frame is on the screen.
class cMainViewer : public ViewerApp
{
  public:
    void PreFrame() override
    {
        // Pushed during the first frame, the quit event ends the loop right after its swap.
        if (exitAfterFirstFrame)
        {
            SDL_Event quit = {};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        ViewerApp::PreFrame();
    }

  private:
    const char* exitSetting = getenv("KEL_EXIT_AFTER_FIRST_FRAME");
    const bool exitAfterFirstFrame = exitSetting && atoi(exitSetting) == 1;
};

cMainViewer gMainViewer;
} // namespace

ViewerApp& gViewerApp = gMainViewer;

int main(int argc, char** argv)
{
    sViewerOptions options;
    const int parsed = ParseViewerOptions(argc, argv, options, std::cout, std::cerr);
    if (parsed >= 0)
        return parsed;
    int status = RunViewer(gViewerApp, options, argv[0]);
    // The entries hold models of the model cache: give them back before the globals go away.
    gViewerApp.ClearModels();
    return status;
}
