// MD3 drawing: blends two vertex frames of each surface into shared scratch arrays and hands
// the result to the model drawer; also the tag math used to place children.
#include "model/drawer.h"
#include "model/md3.h"
#include "platform/gamelook.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

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

namespace
{
// Vertex v blended between its packed values in two frames, unpacked exactly as a float decode
// would have it (coordinates times 1/64, normals from their angles) so the result is the same.
inline void BlendVertex(uint32_t v, const int16_t* xyzA, const int16_t* xyzB, const uint16_t* codesA,
                        const uint16_t* codesB, const sMd3Angles& angles, float f, float* xyzOut,
                        float* normalsOut)
{
    const float g = 1.0f - f;
    float nA[3], nB[3];
    Md3Normal(angles, codesA[v], nA);
    Md3Normal(angles, codesB[v], nB);
    for (int k = 0; k < 3; k++)
    {
        normalsOut[v * 3 + k] = g * nA[k] + f * nB[k];
        xyzOut[v * 3 + k] = g * (xyzA[v * 3 + k] * MD3_XYZ_SCALE) + f * (xyzB[v * 3 + k] * MD3_XYZ_SCALE);
    }
}
} // namespace

void cMd3::BlendSurface(const sMd3Surface& surface, uint32_t current, uint32_t next, float f, float* xyzOut,
                        float* normalsOut) const
{
    const size_t verts = surface.numVerts;
    // Released frames (or a surface built without them) leave the arrays as they were.
    if (numFrames == 0 || verts == 0 || surface.xyz.size() < numFrames * verts * 3 ||
        surface.normals.codes.size() < numFrames * verts)
        return;
    current = ClampFrame(current, numFrames);
    next = ClampFrame(next, numFrames);
    const int16_t* xyzA = &surface.xyz.coords[current * verts * 3];
    const int16_t* xyzB = &surface.xyz.coords[next * verts * 3];
    const uint16_t* codesA = &surface.normals.codes[current * verts];
    const uint16_t* codesB = &surface.normals.codes[next * verts];
    const sMd3Angles& angles = Md3Angles();
    // Only vertices that a triangle uses are blended; when that is all of them, each once.
    if (surface.everyVertexUsed)
        for (uint32_t v = 0; v < surface.numVerts; v++)
            BlendVertex(v, xyzA, xyzB, codesA, codesB, angles, f, xyzOut, normalsOut);
    else
        for (uint32_t i = 0; i < surface.numIndices; i++)
            BlendVertex(surface.indices[i], xyzA, xyzB, codesA, codesB, angles, f, xyzOut, normalsOut);
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

const sMd3Shader* sMd3Surface::Slot(uint32_t k) const
{
    if (k < MD3_MAX_SHADER_SLOTS)
        return &shaders[k];
    k -= MD3_MAX_SHADER_SLOTS;
    return k < moreShaders.size() ? &moreShaders[k] : nullptr;
}

sMd3Shader* sMd3Surface::MakeSlot(uint32_t k)
{
    if (k >= MD3_MAX_SKIN_SLOTS)
        return nullptr;
    if (k < MD3_MAX_SHADER_SLOTS)
        return &shaders[k];
    k -= MD3_MAX_SHADER_SLOTS;
    if (moreShaders.size() <= k)
        moreShaders.resize(k + 1);
    return &moreShaders[k];
}

void sMd3Surface::ClearSkinSlots()
{
    for (int k = 1; k < MD3_MAX_SHADER_SLOTS; k++)
        shaders[k] = sMd3Shader();
    moreShaders.clear();
}

void cMd3::SurfaceShaderName(const sMd3Surface& surface, char out[MD3_NAME_SIZE]) const
{
    const sMd3Shader* slot = surface.Slot(skinIndex);
    CutAtDot(slot ? slot->name : "", out);
}

namespace
{
// Skin entries that ask for no drawing at all, when no shader of that name exists.
bool IsHideWord(const char* name)
{
    return !name[0] || strcasecmp(name, "null") == 0 || strcasecmp(name, "nodraw") == 0;
}

// Whether a name leads to a shader or an image; an empty name never does.
bool LeadsSomewhere(cModelDrawer& drawer, const char* name) { return name[0] && drawer.ShaderExists(name); }
} // namespace

// The plain rules: skin 0 draws the file's name, or the default skin's entry when the file's
// name leads nowhere; every other skin draws its slot, or the default entry when the slot is
// empty. The game look tries the file's name as stored, the plain name and the default entry
// in turn and takes the first that leads somewhere; when none does, the plain choice is drawn
// (showing "$default") unless it is empty or a hide word. A skin whose own entry for the
// surface is empty or a hide word leaves it out without asking the default entry.
bool cMd3::PickSurfaceShader(const sMd3Surface& surface, cModelDrawer& drawer, char out[MD3_NAME_SIZE]) const
{
    // All three live to the end: the choice may point into any of them.
    char picked[MD3_NAME_SIZE], fallback[MD3_NAME_SIZE], stored[MD3_NAME_SIZE];
    SurfaceShaderName(surface, picked);
    CutAtDot(surface.defaultSkin.name, fallback);
    bool useDefault =
        skinIndex == 0 ? surface.defaultSkin.name[0] && !drawer.ShaderExists(picked) : !picked[0];
    const char* plain = useDefault ? fallback : picked;
    if (gGameLook)
    {
        const sMd3Shader* slot = surface.Slot(skinIndex);
        const bool skinHides =
            skinIndex > 0 && slot && (slot->namedEmpty || (picked[0] && IsHideWord(picked)));
        CutAtDot(skinIndex == 0 ? surface.fileShader.name : "", stored);
        const char* tries[3] = {stored, picked, skinHides ? "" : fallback};
        const char* found = nullptr;
        for (const char* t : tries)
            if (!found && LeadsSomewhere(drawer, t))
                found = t;
        if (!found && (skinHides || IsHideWord(plain)))
            return false;
        if (found)
            plain = found;
    }
    memmove(out, plain, strlen(plain) + 1);
    return true;
}

void cMd3::Render(uint32_t current, uint32_t next, float f)
{
    if (numFrames == 0 || (framesReleased && !RestoreFrames()))
        return;
    cModelDrawer& drawer = ModelDrawer();
    for (const sMd3Surface& surface : surfaces)
    {
        char shaderName[MD3_NAME_SIZE];
        if (!PickSurfaceShader(surface, drawer, shaderName))
            continue;
        BlendSurface(surface, current, next, f, scratchXyz, scratchNormals);
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
