// Geometry that depends on where the camera stands: quads turned to face it (sprites) and
// texture coordinates of a reflection. Both take the column-major modelview matrix the mesh is
// drawn with, and work without a GL context.
#pragma once

#include <cstdint>

// Turns each quad of a mesh (4 consecutive vertices, its front side told by the first triangle
// of indexes that lies in it) to face the camera. With alongAxis false the quad becomes a square
// of its size around its centre, its sides along the screen's axes; with alongAxis true it keeps
// its long axis and turns about it until it faces the viewer. Vertices past the last whole
// quad, quads that no triangle lies in, and degenerate quads stay as they are.
void TurnQuadsToCamera(const float modelview[16], bool alongAxis, int numVertexes, float (*xyz)[4],
                       int numIndexes, const uint32_t* indexes);

// Texture coordinates of a reflection, one pair per vertex: the direction from the eye to the
// vertex is reflected in the vertex normal (3 floats per vertex) and mapped the way the GL's
// sphere map does, so a normal facing the eye reads the texture's centre.
void ReflectionCoords(const float modelview[16], int numVertexes, const float (*xyz)[4], const float* normals,
                      float (*st)[2]);
