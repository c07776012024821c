// Program entry: the one viewer object runs from start-up to the end of the frame loop.
#include "viewer/viewerapp.h"

#include <SDL.h>

#include <cstdlib>

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

int main(int, char**)
{
    int status = AppMain(gViewerApp, "app.cfg");
    // The entries hold models of the model cache: give them back before the globals go away.
    gViewerApp.ClearModels();
    return status;
}
