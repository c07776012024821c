// Screenshots: the frame read back from OpenGL written as a PNG file.
#pragma once

#include <string>

// Writes width x height RGB pixels whose rows come bottom first (as OpenGL reads them) as an
// 8-bit RGB PNG with the top row first. False, with why in error, when it cannot be written.
bool WritePng(const std::string& path, int width, int height, const unsigned char* rgbBottomUp,
              std::string* error);

// The first screenshots/shot-NNNN.png (counting from 0000) in the working folder that does
// not exist yet, making the folder when it is missing; "" when all 10000 are taken.
std::string NextShotName();
