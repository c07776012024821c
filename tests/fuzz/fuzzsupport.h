// Helpers shared by the fuzz targets: a private working folder for inputs that readers take by
// path, a clean state of the global managers before each input, and a model drawer that only
// checks and counts what it is given.
#pragma once

#include "model/drawer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Makes a fresh temporary folder the working folder on the first call (removed at exit) and
// answers its path.
const std::string& FuzzWorkDir();

// Writes size bytes to path below the working folder, creating the folders on the way.
bool FuzzWriteFile(const std::string& path, const uint8_t* data, size_t size);

// Empties the file manager, model cache, shader library and console, as at start-up.
void FuzzResetManagers();

// Stands in for the GL drawer: reads every value a real draw would read and stops the program
// on anything the batch could not draw safely (an index past the vertices, missing texture
// coordinates, an unbalanced transform stack).
class cCountingDrawer : public cModelDrawer
{
  public:
    void DrawSurface(const sMd3Surface& surface, const char* shaderName, const float* xyz,
                     const float* normals) override;
    void PushTransform(const float matrix[16]) override;
    void PopTransform() override;

    int surfaces = 0;
    int depth = 0;
    double sum = 0; // keeps the reads from being optimised away
};

// The three parts of a small valid player, keyed by path below folder: lower.md3 (40 frames,
// tag_torso), upper.md3 (30 frames, tag_head and tag_weapon) and head.md3 (one frame).
std::vector<std::pair<std::string, std::vector<unsigned char>>> FuzzPlayerParts(const std::string& folder);
