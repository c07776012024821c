// Program entry: the one viewer object runs from start-up to the end of the frame loop.
#include "viewer/viewerapp.h"

ViewerApp gViewerApp;

int main(int, char**)
{
    int status = AppMain(gViewerApp, "app.cfg");
    // The entries hold models of the model cache: give them back before the globals go away.
    gViewerApp.ClearModels();
    return status;
}
