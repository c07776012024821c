// Defaults of the application settings and their reading from the settings file.
#include "app/appsettings.h"

#include "platform/configfile.h"
#include "fs/memfile.h"

#include <cstdio>
#include <cstring>

namespace
{
void SetFloatVar(ConVar& var, float value)
{
    char text[64];
    snprintf(text, sizeof text, "%f", value);
    var.type = CONVAR_FLOAT;
    var.Set(text);
}

// A longer caption is cut to its field.
void CopyCaption(const ConfigFile& cfg, const char* key, char (&field)[SETTINGS_CAPTION_SIZE])
{
    if (const KeyValue* pair = cfg.Find(key))
        snprintf(field, sizeof field, "%s", pair->value.c_str());
}

// A file name that does not fit keeps the default: cut, it would name another file.
void CopyFileName(const ConfigFile& cfg, const char* key, char (&field)[SETTINGS_FILE_SIZE])
{
    const KeyValue* pair = cfg.Find(key);
    if (pair && pair->value.size() < sizeof field)
        snprintf(field, sizeof field, "%s", pair->value.c_str());
}
} // namespace

AppSettings::AppSettings()
{
    SetFloatVar(fov, 60.0f);
    SetFloatVar(near, 0.5f);
    SetFloatVar(far, 10000.0f);
    snprintf(caption, sizeof caption, "%s", "Application x");
    snprintf(fontFile, sizeof fontFile, "%s", "font_arial.tga");
    snprintf(debugFile, sizeof debugFile, "%s", "kelDebug.txt");
    snprintf(logFile, sizeof logFile, "%s", "kelLog.txt");
}

bool AppSettings::Load(const char* path)
{
    memfile_t file;
    if (!file.open(path, "r"))
        return false;
    ConfigFile cfg('=');
    cfg.Load(file, '=');
    file.close();

    cfg.GetInt("vsync", &vsync);
    cfg.GetInt("fullscreen", &fullscreen);
    cfg.GetInt("width", &width);
    cfg.GetInt("height", &height);
    cfg.GetInt("bpp", &bpp);
    cfg.GetInt("depth", &depth);
    cfg.GetInt("targetfps", &targetFps);
    CopyCaption(cfg, "caption", caption);
    CopyFileName(cfg, "fontfile", fontFile);
    CopyFileName(cfg, "debugfile", debugFile);
    CopyFileName(cfg, "logfile", logFile);
    cfg.GetInt("fontwidth", &fontWidth);
    cfg.GetInt("fontheight", &fontHeight);
    cfg.GetInt("mtex", &mtex);
    cfg.GetInt("cva", &cva);

    // The clear mask is rebuilt from nothing: a file that names neither key clears nothing.
    clearMask = 0;
    if (cfg.GetInt("clear_color", 0) == 1)
        clearMask |= SETTINGS_CLEAR_COLOR;
    if (cfg.GetInt("clear_depth", 0) == 1)
        clearMask |= SETTINGS_CLEAR_DEPTH;
    return true;
}
