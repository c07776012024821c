// The default model drawer: each surface goes through the shader library into the geometry
// batch, drawn on its own; tag transforms go onto the OpenGL model-view stack.
#include "model/drawer.h"
#include "model/md3.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"

#include <GL/gl.h>

namespace
{
class cGLModelDrawer : public cModelDrawer
{
  public:
    void DrawSurface(const sMd3Surface& surface, const char* shaderName, const float* xyz,
                     const float* normals) override
    {
        gTess.Begin(&gShaderMgr.shaders[Resolve(shaderName)]);
        gTess.AddMesh(static_cast<int>(surface.numIndices), static_cast<int>(surface.numVerts),
                      surface.indices.data(), xyz, surface.st.data(), normals, nullptr);
        gTess.Flush();
    }

    void PushTransform(const float matrix[16]) override
    {
        glPushMatrix();
        glMultMatrixf(matrix);
    }

    void PopTransform() override { glPopMatrix(); }

    // Index 0 is "$default", what the library answers for a name that leads nowhere.
    bool ShaderExists(const char* name) override { return Resolve(name) != 0; }

  private:
    // The library index a surface is drawn with, its textures loaded on first use. A name
    // found already costs a lookup and nothing else: no string is built.
    static int Resolve(const char* shaderName)
    {
        int i = gShaderMgr.Find(shaderName);
        if (i == -1)
            i = gShaderMgr.Load(shaderName);
        else if (!(gShaderMgr.shaders[i].flags & SHADER_LOADED))
        {
            // Load by the record's own name; the index stays the one found. Records never
            // move, so the name stays valid while the library appends.
            gShaderMgr.Load(gShaderMgr.shaders[i].name.c_str());
        }
        return i;
    }
};
} // namespace

cModelDrawer& DefaultModelDrawer()
{
    static cGLModelDrawer drawer;
    return drawer;
}
