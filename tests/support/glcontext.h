// A real OpenGL context for tests: an SDL window on the display (Xvfb under ./test.sh).
#pragma once

// Opens the window, or resizes it when it is open already; false when no display is there.
bool OpenTestGLContext(int width = 640, int height = 480);
// Reads one pixel of the back buffer (bottom-left origin) as RGBA bytes.
void ReadTestPixel(int x, int y, unsigned char rgba[4]);
