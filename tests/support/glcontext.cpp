// Test GL context through SDL 1.2, shared by every GL test of one executable.
#include "support/glcontext.h"

#include <SDL.h>
#include <GL/gl.h>

namespace
{
bool sdlStarted = false;
}

bool OpenTestGLContext(int width, int height)
{
    if (!sdlStarted)
    {
        if (SDL_Init(SDL_INIT_VIDEO) != 0)
            return false;
        sdlStarted = true;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    if (!SDL_SetVideoMode(width, height, 0, SDL_OPENGL))
        return false;
    // Software GL takes a new window size for its drawable only at the next buffer swap.
    SDL_GL_SwapBuffers();
    glViewport(0, 0, width, height);
    return true;
}

void ReadTestPixel(int x, int y, unsigned char rgba[4])
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}
