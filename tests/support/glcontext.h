// A real OpenGL context for tests: an SDL window on the display (Xvfb under ./test.sh), shared by
// every GL test of one executable.
#pragma once

#include <GL/gl.h>
#include <SDL.h>

// Opens the window, or resizes it when it is open already; false when no display is there.
inline bool OpenTestGLContext(int width = 640, int height = 480)
{
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_Init(SDL_INIT_VIDEO) != 0)
        return false;
    for (SDL_GLattr a :
         {SDL_GL_DOUBLEBUFFER, SDL_GL_DEPTH_SIZE, SDL_GL_RED_SIZE, SDL_GL_GREEN_SIZE, SDL_GL_BLUE_SIZE})
        SDL_GL_SetAttribute(a, a == SDL_GL_DOUBLEBUFFER ? 1 : a == SDL_GL_DEPTH_SIZE ? 24 : 8);
    if (!SDL_SetVideoMode(width, height, 0, SDL_OPENGL))
        return false;
    SDL_GL_SwapBuffers(); // software GL takes a new window size for its drawable at the next swap
    glViewport(0, 0, width, height);
    return true;
}

// Reads one pixel of the back buffer (bottom-left origin) as RGBA bytes.
inline void ReadTestPixel(int x, int y, unsigned char rgba[4])
{
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}
