// The least an SDL OpenGL program does to show a frame: a window of the viewer's size with the
// same buffers, a clear, one triangle, one buffer swap, and the end. The start-up check
// (scripts/startup-check.sh) measures the viewer's start-up against this program's.
//   minigl [width height]
#include <GL/gl.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int width = argc > 2 ? atoi(argv[1]) : 1024, height = argc > 2 ? atoi(argv[2]) : 768;
    if (SDL_Init(SDL_INIT_VIDEO) < 0)
        return printf("minigl: %s\n", SDL_GetError()), 1;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(width, height, 32, SDL_OPENGL | SDL_ANYFORMAT | SDL_RESIZABLE))
        return printf("minigl: %s\n", SDL_GetError()), SDL_Quit(), 1;
    glViewport(0, 0, width, height);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBegin(GL_TRIANGLES);
    glColor3f(1, 0, 0);
    glVertex2f(-0.5f, -0.5f);
    glColor3f(0, 1, 0);
    glVertex2f(0.5f, -0.5f);
    glColor3f(0, 0, 1);
    glVertex2f(0.0f, 0.5f);
    glEnd();
    SDL_GL_SwapBuffers();
    glFinish();
    SDL_Quit();
    return 0;
}
