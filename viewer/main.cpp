// Program entry: the command line is parsed into an options record, and the one viewer object
// runs as it says, from start-up to the end of the frame loop.
#include "viewer/cmdline.h"
#include "viewer/viewerapp.h"

#include <iostream>

ViewerApp gViewerApp;

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
