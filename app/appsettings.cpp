// Defaults of the application settings and their reading from the settings file.
#include "app/appsettings.h"

#include "platform/configfile.h"
#include "fs/memfile.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
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

void Refuse(std::vector<std::string>& refusals, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void Refuse(std::vector<std::string>& refusals, const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    refusals.push_back(text);
}

// The debug and log files are written, so they may only be named inside the run folder: no
// folder part, not the folder itself or its parent, not empty.
void CopyLogFileName(const ConfigFile& cfg, const char* key, char (&field)[SETTINGS_FILE_SIZE],
                     std::vector<std::string>& refusals)
{
    const KeyValue* pair = cfg.Find(key);
    if (!pair)
        return;
    const std::string& name = pair->value;
    if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos)
        Refuse(refusals, "AppSettings:: %s = %.64s is not a file name in the run folder, %s kept", key,
               name.c_str(), field);
    else if (name.size() >= sizeof field)
        Refuse(refusals, "AppSettings:: %s of %zu characters is too long, %s kept", key, name.size(), field);
    else
        snprintf(field, sizeof field, "%s", name.c_str());
}

// An integer in min..max, read whole before narrowing so that a huge number cannot wrap into
// the range; any other value keeps the old one.
void GetBoundedInt(const ConfigFile& cfg, const char* key, int min, int max, int32_t& field,
                   std::vector<std::string>& refusals)
{
    const KeyValue* pair = cfg.Find(key);
    if (!pair)
        return;
    errno = 0;
    long value = strtol(pair->value.c_str(), nullptr, 10);
    if (errno != ERANGE && value >= min && value <= max)
        field = static_cast<int32_t>(value);
    else
        Refuse(refusals, "AppSettings:: %s = %.64s is out of range (%d..%d), %d kept", key,
               pair->value.c_str(), min, max, field);
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
    GetBoundedInt(cfg, "width", 1, SETTINGS_MAX_WINDOW_SIZE, width, refusals);
    GetBoundedInt(cfg, "height", 1, SETTINGS_MAX_WINDOW_SIZE, height, refusals);
    cfg.GetInt("bpp", &bpp);
    cfg.GetInt("depth", &depth);
    cfg.GetInt("targetfps", &targetFps);
    CopyCaption(cfg, "caption", caption);
    CopyFileName(cfg, "fontfile", fontFile);
    CopyLogFileName(cfg, "debugfile", debugFile, refusals);
    CopyLogFileName(cfg, "logfile", logFile, refusals);
    GetBoundedInt(cfg, "fontwidth", 1, SETTINGS_MAX_GLYPH_SIZE, fontWidth, refusals);
    GetBoundedInt(cfg, "fontheight", 1, SETTINGS_MAX_GLYPH_SIZE, fontHeight, refusals);
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
