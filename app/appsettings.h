// The application's settings record: window, font, log files and frame rate, with defaults,
// filled from a key-value settings file.
#pragma once

#include "console/convar.h"

#include <cstdint>
#include <string>
#include <vector>

const int SETTINGS_CAPTION_SIZE = 128;
const int SETTINGS_FILE_SIZE = 256;

// Largest window side: X counts sides in 16 bits and OpenGL viewports end near this size, so a
// larger value only ever fails (65536 wraps to 0 and ends the program with an X error).
const int SETTINGS_MAX_WINDOW_SIZE = 16384;
// Largest glyph cell of the font: 16 cells a row then fill a 4096-pixel picture.
const int SETTINGS_MAX_GLYPH_SIZE = 256;

// OpenGL's colour and depth buffer bits, as the frame loop clears them.
const uint32_t SETTINGS_CLEAR_COLOR = 0x4000;
const uint32_t SETTINGS_CLEAR_DEPTH = 0x100;

struct AppSettings
{
    AppSettings();

    // Reads path (through the file manager) into the record. A missing file keeps every
    // default and answers false. A value out of range (window or glyph size) or a log file name
    // that is more than a file name in the run folder is refused: the old value stays and a
    // message joins refusals.
    bool Load(const char* path);

    ConVar fov;
    ConVar near;
    ConVar far;
    int32_t vsync = 1;
    int32_t fullscreen = 0;
    int32_t width = 640;
    int32_t height = 480;
    int32_t bpp = 32;
    int32_t depth = 32;
    uint32_t clearMask = SETTINGS_CLEAR_COLOR | SETTINGS_CLEAR_DEPTH;
    int32_t mtex = 1;
    int32_t cva = 1;
    int32_t fontWidth = 14;
    int32_t fontHeight = 12;
    int32_t targetFps = 60;
    char caption[SETTINGS_CAPTION_SIZE];
    char fontFile[SETTINGS_FILE_SIZE];
    char debugFile[SETTINGS_FILE_SIZE];
    char logFile[SETTINGS_FILE_SIZE];
    // Messages about refused values. They are read before the debug file is open (its name is
    // one of them), so video set-up writes them there once it has opened it.
    std::vector<std::string> refusals;
};
