// The MD3 model object: the normals' angle table, tag rotations, emptying and tag links. Loading is in
// md3_load.cpp, drawing in md3_draw.cpp.
#include "model/md3.h"

#include <cmath>
#include <cstring>
#include <strings.h>

const sMd3Angles& Md3Angles()
{
    // The angle step is 2 pi / 255 (not / 256), so index 255 wraps to a full turn. Both angles
    // run through the same 256 values: their sines and cosines are taken once.
    static const sMd3Angles angles = []
    {
        sMd3Angles made;
        const double step = 3.1415927f * 0.00784313725490196;
        for (int i = 0; i < 256; i++)
        {
            made.sines[i] = sin(i * step);
            made.cosines[i] = cos(i * step);
        }
        return made;
    }();
    return angles;
}

// The rows of m are the axes. With a positive trace w is the largest component and is found
// first; otherwise the largest diagonal entry picks the component that is found first, which
// keeps the square root away from zero.
void AxesToQuaternion(const float axis[3][3], float q[4])
{
    float m[3][3];
    for (int r = 0; r < 3; r++)
    {
        float len = sqrtf(axis[r][0] * axis[r][0] + axis[r][1] * axis[r][1] + axis[r][2] * axis[r][2]);
        float scale = len > 0 ? 1.0f / len : 1.0f;
        for (int k = 0; k < 3; k++)
            m[r][k] = axis[r][k] * scale;
    }
    float x, y, z, w;
    float trace = m[2][2] + m[1][1] + m[0][0];
    if (trace > 0)
    {
        float s = sqrtf(trace + 1.0f);
        w = s * 0.5f;
        s = 0.5f / s;
        x = (m[2][1] - m[1][2]) * s;
        y = (m[0][2] - m[2][0]) * s;
        z = (m[1][0] - m[0][1]) * s;
    }
    else
    {
        int i = 0;
        if (m[1][1] > m[0][0])
            i = 1;
        if (m[2][2] > m[i][i])
            i = 2;
        int j = (i + 1) % 3;
        int k = (j + 1) % 3;
        float v[3];
        float s = sqrtf(m[i][i] - (m[j][j] + m[k][k]) + 1.0f);
        v[i] = s * 0.5f;
        if (s != 0.0f)
            s = 0.5f / s;
        w = (m[k][j] - m[j][k]) * s;
        v[j] = (m[j][i] + m[i][j]) * s;
        v[k] = (m[k][i] + m[i][k]) * s;
        x = v[0];
        y = v[1];
        z = v[2];
    }
    // Unit axes give a unit quaternion already; nearly-orthogonal ones come close to it.
    float len = sqrtf(x * x + y * y + z * z + w * w);
    if (len > 0)
    {
        x /= len;
        y /= len;
        z /= len;
        w /= len;
    }
    else
        w = 1.0f;
    q[0] = x;
    q[1] = y;
    q[2] = z;
    q[3] = w;
}

cMd3::cMd3() { Md3Angles(); }

cMd3::~cMd3() { Clear(); }

// A model without tags does not count as loaded, though its surfaces can be drawn.
bool cMd3::IsLoaded() { return numSurfaces && numFrames && numTags && !surfaces.empty() && !frames.empty(); }

void cMd3::Clear()
{
    surfaces.clear();
    surfaces.shrink_to_fit();
    frames.clear();
    frames.shrink_to_fit();
    links.clear();
    links.shrink_to_fit();
    numSurfaces = numFrames = numTags = 0;
    framesReleased = framesLost = false;
}

void cMd3::AttachToTag(const char* tagName, cMd3* child)
{
    if (frames.empty() || !tagName)
        return;
    for (uint32_t t = 0; t < numTags && t < links.size(); t++)
        if (strcasecmp(frames[0].tags[t].name, tagName) == 0)
            links[t] = child;
}
