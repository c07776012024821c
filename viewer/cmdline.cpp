// The command line: options parsed into the options record, the folder of the shipped
// settings, and the run of the viewer as the options say.
#include "viewer/cmdline.h"

#include "app/app.h"
#include "fs/filemgr.h"
#include "model/modelq3.h"
#include "platform/log.h"
#include "viewer/viewerapp.h"

#include <CLI/CLI.hpp>
#include <SDL.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KEL_VERSION
#define KEL_VERSION "0"
#endif

namespace
{
// Frames an animation can have: far more than any model holds.
const int VIEWER_MAX_FRAME = 100000;

// "WxH" with both sides in the window's range; false for anything else.
bool ParseSize(const std::string& text, int& width, int& height)
{
    char tail = 0;
    if (sscanf(text.c_str(), "%dx%d%c", &width, &height, &tail) != 2)
        return false;
    return width >= 1 && width <= SETTINGS_MAX_WINDOW_SIZE && height >= 1 &&
           height <= SETTINGS_MAX_WINDOW_SIZE;
}

bool IsFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string Folder(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The path of the running program: the kernel's word for it, else argv[0].
std::string ExecutablePath(const char* argv0)
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0)
        return std::string(path, static_cast<size_t>(length));
    return argv0 ? argv0 : "";
}
} // namespace

int ParseViewerOptions(int argc, const char* const* argv, sViewerOptions& options, std::ostream& out,
                       std::ostream& err)
{
    options = sViewerOptions();
    options.given = argc > 1;
    CLI::App cli("Shows the animated MD3 models of a game's .pk3 archives: players with their skins and "
                 "animations, weapons, and any other .md3.",
                 "viewer");
    cli.set_version_flag("--version", "viewer (kelviewer) " KEL_VERSION);
    cli.add_option("GAME", options.game,
                   "GAME_FOLDER (every .pk3 in it) or ARCHIVE.pk3 (that archive alone); default: the game "
                   "app.cfg names")
        ->check(CLI::ExistingPath)
        ->option_text("GAME_FOLDER|ARCHIVE.pk3");
    cli.add_option("--config", options.config, "settings file (default app.cfg)")
        ->check(CLI::ExistingFile)
        ->option_text("FILE");
    cli.add_option("--player", options.player,
                   "player folder to show (models/players/NAME), or none for the weapon alone")
        ->option_text("NAME");
    cli.add_option("--skin", options.skin, "skin of the player (default, red, blue, ...)")
        ->option_text("NAME");
    cli.add_option("--weapon", options.weapon, "weapon folder to hold (models/weapons2/NAME), or none")
        ->option_text("NAME");
    const CLI::Validator animName(
        [](std::string& name)
        {
            return cModelQ3::FindAnimation(name.c_str()) >= 0
                       ? std::string()
                       : "unknown animation " + name + " (names as in animation.cfg, e.g. LEGS_RUN)";
        },
        "ANIM");
    cli.add_option("--anim", options.anims,
                   "animations by name as in animation.cfg, e.g. LEGS_RUN TORSO_ATTACK")
        ->check(animName)
        ->option_text("NAME...");
    cli.add_option("--frame", options.frame, "stop the animations at this frame of each (0 is the first)")
        ->check(CLI::Range(0, VIEWER_MAX_FRAME))
        ->option_text("N");
    std::string size;
    const CLI::Validator sizeCheck(
        [](std::string& text)
        {
            int w = 0, h = 0;
            return ParseSize(text, w, h) ? std::string()
                                         : "size " + text + " is not WIDTHxHEIGHT with sides 1 to " +
                                               std::to_string(SETTINGS_MAX_WINDOW_SIZE);
        },
        "WxH");
    cli.add_option("--size", size, "window size, e.g. 1024x768")->check(sizeCheck)->option_text("WxH");
    cli.add_option("--model", options.model,
                   "show this .md3 of the archives or the folder on its own, e.g. "
                   "models/powerups/health/large_cross.md3")
        ->option_text("PATH");
    CLI::Option* shot =
        cli.add_option("--screenshot", options.screenshot, "draw one frame, write it to FILE.png and end")
            ->option_text("FILE.png");
    cli.add_option(
           "--sheet", options.sheet,
           "write a labelled picture of every player in every skin and every weapon to FILE.png and end")
        ->excludes(shot)
        ->option_text("FILE.png");
    try
    {
        cli.parse(argc, argv);
    }
    catch (const CLI::ParseError& e)
    {
        const int status = cli.exit(e, out, err);
        return status == 0 ? 0 : VIEWER_EXIT_USAGE;
    }
    if (!size.empty())
        ParseSize(size, options.width, options.height);
    return -1;
}

std::string FindBaseFolder(const std::string& executable)
{
    const std::string dir = Folder(executable);
    std::vector<std::string> candidates = {dir + "/../base", dir + "/base", dir + "/../share/kelviewer/base"};
#ifdef KEL_INSTALL_BASE
    candidates.push_back(KEL_INSTALL_BASE);
#endif
#ifdef KEL_SOURCE_BASE
    candidates.push_back(KEL_SOURCE_BASE);
#endif
    for (const std::string& folder : candidates)
    {
        if (!IsFile(folder + "/app.cfg"))
            continue;
        char full[PATH_MAX];
        return realpath(folder.c_str(), full) ? std::string(full) : folder;
    }
    return "";
}

int RunViewer(ViewerApp& app, const sViewerOptions& options, const char* executable)
{
    // Started in a folder without settings, the viewer takes the shipped ones (settings, font,
    // console image); its log files and screenshots stay in the working folder.
    if (!IsFile("app.cfg"))
    {
        const std::string base = FindBaseFolder(ExecutablePath(executable));
        if (!base.empty())
            gFileMgr.SetLooseFallback(base);
    }
    if (!options.given)
        return AppMain(app, "app.cfg");

    app.options = options;
    atexit(SDL_Quit);
    AppSettings& settings = app.Settings();
    settings.Load(options.config.c_str());
    if (options.width > 0)
    {
        settings.width = options.width;
        settings.height = options.height;
    }
    if (!app.SetupVideo(settings))
        return 1;
    if (app.startError.empty() && !options.screenshot.empty())
    {
        if (app.ShowsSomething())
            app.RequestScreenshot(options.screenshot, true);
        else
            app.startError = "nothing could be loaded to draw (see " + std::string(settings.debugFile) + ")";
    }
    int status = 0;
    if (!app.startError.empty())
    {
        fprintf(stderr, "viewer: %s\n", app.startError.c_str());
        status = 1;
    }
    else if (!options.sheet.empty())
        status = app.WriteContactSheet(options.sheet) ? 0 : 1;
    else
    {
        app.Run();
        status = app.shotStatus;
    }
    app.Shutdown();
    return status;
}
