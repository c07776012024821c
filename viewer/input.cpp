// The viewer's mouse hooks and the app.cfg settings of input and messages.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "platform/configfile.h"

#include <SDL.h>

void ViewerApp::ApplyInputSettings(const ConfigFile& config)
{
    camera.dragRepeat = config.GetInt("dragrepeat", 1) != 0;
    gConsole.SetToggleKeysClose(config.GetInt("contoggleclose", 0) == 1);
    statusLine.Listen(config.GetInt("statusline", 0) == 1);
}

// A wheel step also presses binding slot 0 (the event handling does that).
void ViewerApp::OnMouseDown(int button, int, int)
{
    if (gConsole.IsOpen())
        return;
    if (button == SDL_BUTTON_WHEELUP)
        camera.Zoom(1);
    else if (button == SDL_BUTTON_WHEELDOWN)
        camera.Zoom(-1);
}

// Motion while the console is open moves nothing, then or later.
void ViewerApp::OnMouseDelta(int dx, int dy)
{
    if (!gConsole.IsOpen())
        camera.AddMotion(dx, dy);
}
