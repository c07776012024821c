// Screenshots: the PNG writer, the free file name, and the frame taken from the back buffer
// after the models are drawn and before any text or the console is.
#include "viewer/screenshot.h"

#include "console/console.h"
#include "platform/log.h"
#include "viewer/viewerapp.h"

#include <GL/gl.h>
#include <SDL.h>
#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

namespace
{
const char* SHOT_FOLDER = "screenshots";
const int SHOT_MAX_NUMBER = 9999;

// libpng reports errors by jumping back to the setjmp of its writer.
void PngError(png_structp png, png_const_charp message)
{
    std::string* error = static_cast<std::string*>(png_get_error_ptr(png));
    if (error)
        *error = message;
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// Everything libpng touches lives in the caller, made before the jump point.
bool WriteRows(FILE* file, int width, int height, png_bytep* rows, std::string* error)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, error, PngError, PngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info)
    {
        png_destroy_write_struct(&png, nullptr);
        if (error)
            *error = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png)))
    {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}
} // namespace

bool WritePng(const std::string& path, int width, int height, const unsigned char* rgbBottomUp,
              std::string* error)
{
    std::string ignored;
    std::string& why = error ? *error : ignored;
    if (width < 1 || height < 1 || !rgbBottomUp)
        return why = "no picture", false;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    const size_t stride = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; y++)
        rows[y] = const_cast<png_bytep>(rgbBottomUp + (height - 1 - y) * stride);
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return why = strerror(errno), false;
    bool written = WriteRows(file, width, height, rows.data(), &why);
    if (fclose(file) != 0 && written)
    {
        why = strerror(errno);
        written = false;
    }
    if (!written)
        remove(path.c_str());
    return written;
}

std::string NextShotName()
{
    mkdir(SHOT_FOLDER, 0755);
    for (int n = 0; n <= SHOT_MAX_NUMBER; n++)
    {
        char name[64];
        snprintf(name, sizeof name, "%s/shot-%04d.png", SHOT_FOLDER, n);
        struct stat info;
        if (stat(name, &info) != 0)
            return name;
    }
    return "";
}

void ViewerApp::RequestScreenshot(const std::string& file, bool quit)
{
    shotFile = file;
    shotPending = true;
    quitAfterShot = quit;
}

void ViewerApp::TakePendingScreenshot()
{
    if (!shotPending)
        return;
    shotPending = false;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    std::vector<unsigned char> rgb(static_cast<size_t>(viewport[2]) * viewport[3] * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(viewport[0], viewport[1], viewport[2], viewport[3], GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    const std::string file = shotFile.empty() ? NextShotName() : shotFile;
    std::string error = file.empty() ? "every screenshots/shot-NNNN.png is taken" : "";
    if (!file.empty() && WritePng(file, viewport[2], viewport[3], rgb.data(), &error))
    {
        Log("ViewerApp:: screenshot written to %s", file.c_str());
        gConsole.Print("screenshot written to %s", file.c_str());
        shotStatus = 0;
    }
    else
    {
        DebugLog("ViewerApp:: can`t write screenshot %s : %s", file.c_str(), error.c_str());
        gConsole.Print("can`t write screenshot %s : %s", file.c_str(), error.c_str());
        if (quitAfterShot)
            fprintf(stderr, "viewer: can't write %s: %s\n", file.c_str(), error.c_str());
        shotStatus = 1;
    }
    if (quitAfterShot)
    {
        SDL_Event quit = {};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    }
}
