// MD3 drawing: blends two vertex frames of each surface into shared scratch arrays and hands
// the result to the model drawer; also the tag math used to place children.
#include "model/drawer.h"
#include "model/md3.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
// Shared by every model; each Render finishes its surfaces before children are drawn.
float scratchXyz[MD3_MAX_VERTS * 3];
float scratchNormals[MD3_MAX_VERTS * 3];

cModelDrawer* currentDrawer = nullptr;

// Frames past the end (from a wrong animation.cfg) show the last frame.
uint32_t ClampFrame(uint32_t frame, uint32_t numFrames) { return frame < numFrames ? frame : numFrames - 1; }
} // namespace

cModelDrawer& DefaultModelDrawer();

void SetModelDrawer(cModelDrawer* drawer) { currentDrawer = drawer; }

cModelDrawer& ModelDrawer() { return currentDrawer ? *currentDrawer : DefaultModelDrawer(); }

void cMd3::BlendSurface(const sMd3Surface& surface, uint32_t current, uint32_t next, float f, float* xyzOut,
                        float* normalsOut) const
{
    if (numFrames == 0 || surface.numVerts == 0)
        return;
    current = ClampFrame(current, numFrames);
    next = ClampFrame(next, numFrames);
    const size_t verts = surface.numVerts;
    const float* xyzA = &surface.xyz[current * verts * 3];
    const float* xyzB = &surface.xyz[next * verts * 3];
    const float* nA = &surface.normals[current * verts * 3];
    const float* nB = &surface.normals[next * verts * 3];
    const float g = 1.0f - f;
    // Only vertices that a triangle uses are blended.
    for (uint32_t i = 0; i < surface.numIndices; i++)
    {
        size_t v = surface.indices[i] * 3;
        for (int k = 0; k < 3; k++)
        {
            normalsOut[v + k] = g * nA[v + k] + f * nB[v + k];
            xyzOut[v + k] = g * xyzA[v + k] + f * xyzB[v + k];
        }
    }
}

namespace
{
// A shader name up to its first dot: the library keys image shaders without the extension.
void CutAtDot(const char* name, char out[MD3_NAME_SIZE])
{
    size_t len = strnlen(name, MD3_NAME_SIZE - 1);
    const char* dot = static_cast<const char*>(memchr(name, '.', len));
    if (dot)
        len = dot - name;
    memcpy(out, name, len);
    out[len] = 0;
}
} // namespace

void cMd3::SurfaceShaderName(const sMd3Surface& surface, char out[MD3_NAME_SIZE]) const
{
    out[0] = 0;
    if (skinIndex >= MD3_MAX_SHADER_SLOTS)
        return;
    CutAtDot(surface.shaders[skinIndex].name, out);
}

void cMd3::Render(uint32_t current, uint32_t next, float f)
{
    if (numFrames == 0)
        return;
    cModelDrawer& drawer = ModelDrawer();
    for (const sMd3Surface& surface : surfaces)
    {
        BlendSurface(surface, current, next, f, scratchXyz, scratchNormals);
        char shaderName[MD3_NAME_SIZE];
        SurfaceShaderName(surface, shaderName);
        // Model files often name shaders that do not exist; their default skin file knows better.
        if (skinIndex == 0 && surface.defaultSkin.name[0] && !drawer.ShaderExists(shaderName))
            CutAtDot(surface.defaultSkin.name, shaderName);
        drawer.DrawSurface(surface, shaderName, scratchXyz, scratchNormals);
    }
}

void Slerp(const float q1[4], const float q2[4], float t, float out[4])
{
    double cosom = 0;
    for (int k = 0; k < 4; k++)
        cosom += static_cast<double>(q1[k]) * q2[k];
    // q and -q are the same rotation: go the short way round.
    float end[4];
    for (int k = 0; k < 4; k++)
        end[k] = cosom < 0 ? -q2[k] : q2[k];
    if (cosom < 0)
        cosom = -cosom;
    double s0, s1;
    if (1.0 - cosom > 0.0001f)
    {
        double omega = acos(cosom);
        double sinom = sin(omega);
        s0 = sin((1.0 - t) * omega) / sinom;
        s1 = sin(t * omega) / sinom;
    }
    else
    {
        s0 = 1.0 - t;
        s1 = t;
    }
    for (int k = 0; k < 4; k++)
        out[k] = static_cast<float>(s0 * q1[k] + s1 * end[k]);
}

void TagMatrix(const float q[4], const float origin[3], float m[16])
{
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    m[0] = 1 - 2 * (y * y + z * z);
    m[1] = 2 * (x * y - w * z);
    m[2] = 2 * (x * z + w * y);
    m[3] = 0;
    m[4] = 2 * (x * y + w * z);
    m[5] = 1 - 2 * (x * x + z * z);
    m[6] = 2 * (y * z - w * x);
    m[7] = 0;
    m[8] = 2 * (x * z - w * y);
    m[9] = 2 * (y * z + w * x);
    m[10] = 1 - 2 * (x * x + y * y);
    m[11] = 0;
    m[12] = origin[0];
    m[13] = origin[1];
    m[14] = origin[2];
    m[15] = 1;
}
