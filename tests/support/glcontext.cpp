// The test window through SDL 1.2, shared by every GL test of one executable.
#include "support/glcontext.h"

#include <SDL.h>
#include <GL/gl.h>

bool OpenTestGLContext(int width, int height)
{
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_Init(SDL_INIT_VIDEO) != 0)
        return false;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    if (!SDL_SetVideoMode(width, height, 0, SDL_OPENGL))
        return false;
    SDL_GL_SwapBuffers(); // software GL takes a new window size for its drawable at the next swap
    glViewport(0, 0, width, height);
    return true;
}

void ReadTestPixel(int x, int y, unsigned char rgba[4])
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}
