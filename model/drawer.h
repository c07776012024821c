// Where model drawing sends its output. The default drawer hands each surface to the shader
// library and the geometry batch and the tag transforms to the OpenGL matrix stack; tests
// install their own to see what would be drawn without a GL context.
#pragma once

struct sMd3Surface;

class cModelDrawer
{
  public:
    virtual ~cModelDrawer() {}
    // One surface with its blended positions and normals (numVerts * 3 floats each).
    virtual void DrawSurface(const sMd3Surface& surface, const char* shaderName, const float* xyz,
                             const float* normals) = 0;
    // Multiplies the current transform by a column-major 4x4 matrix after saving it.
    virtual void PushTransform(const float matrix[16]) = 0;
    virtual void PopTransform() = 0;
    // Whether a shader name leads to a scripted shader or an image. A drawer without a shader
    // library takes every name as found.
    virtual bool ShaderExists(const char*) { return true; }
};

// The drawer in use; null restores the default one.
void SetModelDrawer(cModelDrawer* drawer);
cModelDrawer& ModelDrawer();

// Spherical interpolation of unit quaternions x, y, z, w along the shorter arc.
void Slerp(const float q1[4], const float q2[4], float t, float out[4]);

// The column-major matrix that rotates by q and then moves to origin.
void TagMatrix(const float q[4], const float origin[3], float m[16]);
