// The look check's drawer: it draws through the viewer's drawer and notes why a surface would
// show without an image.
#pragma once

#include "model/drawer.h"
#include "model/md3.h"
#include "shader/shadermgr.h"

#include <set>
#include <string>

// Passes every surface on to the viewer's drawer and notes, for each drawn surface, why it
// would show without an image: a name that leads to no shader and no image, or a shader
// with a stage whose image is missing.
class cNotingDrawer : public cModelDrawer
{
  public:
    explicit cNotingDrawer(cModelDrawer& real) : base(real) {}

    void DrawSurface(const sMd3Surface& surface, const char* shaderName, const float* xyz,
                     const float* normals) override
    {
        base.DrawSurface(surface, shaderName, xyz, normals);
        const int i = gShaderMgr.Load(shaderName);
        std::string why;
        if (!shaderName[0])
            why = "names no shader";
        else if (i == 0)
            why = "names \"" + std::string(shaderName) + "\", which no script or image defines";
        else
            for (const cShaderStage& stage : gShaderMgr.shaders[i].stages)
                if (!stage.texture && !(stage.flags & (STAGE_LIGHTMAP | STAGE_SPECIALMAP | STAGE_ANIMMAP)))
                    why = "shader \"" + std::string(shaderName) + "\" has a stage whose image is missing";
        if (!why.empty())
            notes.insert(std::string(surface.name) + " " + why);
    }
    void PushTransform(const float matrix[16]) override { base.PushTransform(matrix); }
    void PopTransform() override { base.PopTransform(); }
    bool ShaderExists(const char* name) override { return base.ShaderExists(name); }

    std::set<std::string> notes;

  private:
    cModelDrawer& base;
};
