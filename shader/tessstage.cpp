// Stage rendering: turns the batch's current stage into fixed-function GL state around its
// one draw call, and puts the neutral state back afterwards.
#include "shader/tess.h"

#include "shader/stagestate.h"

#include <GL/gl.h>

void Tess::BindStageTexture()
{
    if (!stage)
        return;
    GLuint texture = stage->texture;
    const float* coords = &st[0][0];
    // "$" stages never bind their stored placeholder handle.
    if (stage->flags & STAGE_LIGHTMAP)
    {
        texture = lightmapTexture;
        coords = &lightmapSt[0][0];
    }
    else if (stage->flags & STAGE_SPECIALMAP)
        texture = specialTexture;
    else if (stage->flags & STAGE_ANIMMAP)
    {
        int frame = AnimFrame(stage->anim, ShaderSeconds());
        texture = frame < 0 ? 0 : stage->anim.textures[frame];
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
}

void Tess::SetupStage()
{
    if (!stage)
        return;
    const sStageState s = ChooseStageState(*stage, ShaderSeconds());
    if (s.blend)
    {
        glBlendFunc(static_cast<GLenum>(s.blendSrc), static_cast<GLenum>(s.blendDst));
        glEnable(GL_BLEND);
    }
    else
        glDisable(GL_BLEND);

    if (s.alphaTest)
    {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(static_cast<GLenum>(s.alphaFunc), s.alphaRef);
    }
    else
        glDisable(GL_ALPHA_TEST);

    if (s.setDepthFunc)
        glDepthFunc(static_cast<GLenum>(s.depthFunc));
    else if (s.noDepthWrite)
        glDepthMask(GL_FALSE);

    glColor4fv(s.color);

    if (s.sphereMap)
    {
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
    }

    if (stage->flags & STAGE_TCMOD)
    {
        double matrix[16];
        const double t = ShaderSeconds();
        TcModMatrix(stage->tcMods, t, ShaderSeconds(), matrix);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        glLoadMatrixd(matrix);
        // The matrix mode stays GL_TEXTURE for the draw; the reset returns to GL_MODELVIEW.
    }
}

void Tess::ResetStage()
{
    if (!stage)
        return;
    if (stage->flags & STAGE_DEPTHFUNC)
        glDepthFunc(GL_LEQUAL);
    else if (stage->flags & STAGE_NODEPTHWRITE)
        glDepthMask(GL_TRUE);

    if (stage->flags & STAGE_TCMOD)
    {
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }

    if (stage->tcGen == TCGEN_ENVIRONMENT)
    {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
    }

    if (stage->flags & STAGE_BLEND)
        glDisable(GL_BLEND);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
