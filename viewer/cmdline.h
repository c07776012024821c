// The viewer's command line: what the user asked for at start, parsed into one record that the
// viewer applies once its window and game data are up.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class ViewerApp;

// Exit status of a command line that cannot be used (unknown option, bad value).
const int VIEWER_EXIT_USAGE = 2;

struct sViewerOptions
{
    // True when the command line held anything at all; without it the viewer starts as it
    // always has, from app.cfg alone.
    bool given = false;
    std::string config = "app.cfg";
    // A game folder (every .pk3 in it) or one archive; empty: the game app.cfg names.
    std::string game;
    std::string player; // folder name under models/players, or "none" for the weapon alone
    std::string skin;
    std::string weapon; // folder name under models/weapons2, or "none" for no weapon
    std::vector<std::string> anims;
    int frame = -1; // >= 0: stop the animations at this frame of each
    int width = 0, height = 0;
    std::string model;      // one .md3 shown on its own
    std::string screenshot; // draw one frame, write it there, end
    std::string sheet;      // draw the contact sheet there, end
};

// Parses argv into options. Answers -1 when the viewer is to run; otherwise the exit status,
// after --help or --version (0, text on out) or a bad command line (2, message on err).
int ParseViewerOptions(int argc, const char* const* argv, sViewerOptions& options, std::ostream& out,
                       std::ostream& err);

// The folder of the shipped settings, font and console image: beside the executable
// (<dir>/../base, <dir>/base), where the build installs it, or the source tree's base/. Empty
// when none holds an app.cfg.
std::string FindBaseFolder(const std::string& executable);

// Runs the viewer as the options say: the settings, the window, then the frame loop, or one
// screenshot, or the contact sheet. Answers the exit status.
int RunViewer(ViewerApp& app, const sViewerOptions& options, const char* executable);
