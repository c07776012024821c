// The settings both measuring tools start the viewer with.
#pragma once

#include <cstdio>
#include <string>

// Writes app.cfg in the working folder: the game folder (its parent as q3apath, its name as
// q3game) with every archive mounted and the game look, the window size, no vertical sync, then
// the further lines. False when the game is not a path or the file cannot be written.
inline bool WriteToolConfig(const std::string& game, int width, int height, const char* more)
{
    const size_t slash = game.find_last_of('/');
    FILE* cfg = slash == std::string::npos ? nullptr : fopen("app.cfg", "w");
    if (!cfg)
        return false;
    fprintf(cfg,
            "q3apath = %s\nq3game = %s\nmountall = 1\ngamelook = 1\nwidth = %d\nheight = %d\nvsync = 0\n%s",
            game.substr(0, slash).c_str(), game.substr(slash + 1).c_str(), width, height, more);
    return fclose(cfg) == 0;
}
