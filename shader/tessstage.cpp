// Stage rendering: turns the batch's current stage into fixed-function GL state around its
// one draw call, and puts the neutral state back afterwards.
#include "shader/tess.h"

#include "platform/gamelook.h"
#include "shader/stagestate.h"

#include <GL/gl.h>

namespace
{
// One directional light placed in eye space, ambient plus diffuse, both sides of a surface lit
// (two-sided surfaces show their back), the current colour as the material.
void EnableModelLight()
{
    const GLfloat direction[4] = {TESS_LIGHT_DIRECTION[0], TESS_LIGHT_DIRECTION[1], TESS_LIGHT_DIRECTION[2],
                                  0.0f};
    const GLfloat ambient[4] = {TESS_LIGHT_AMBIENT, TESS_LIGHT_AMBIENT, TESS_LIGHT_AMBIENT, 1.0f};
    const GLfloat diffuse[4] = {TESS_LIGHT_DIFFUSE, TESS_LIGHT_DIFFUSE, TESS_LIGHT_DIFFUSE, 1.0f};
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glPopMatrix();
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glEnable(GL_LIGHT0);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glEnable(GL_LIGHTING);
}
} // namespace

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
    // Under the game look an environment stage reads the batch's reflection coordinates.
    if (gGameLook && stage->tcGen == TCGEN_ENVIRONMENT && !(stage->flags & STAGE_LIGHTMAP))
        coords = &envSt[0][0];
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexCoordPointer(2, GL_FLOAT, 0, coords);
}

void Tess::SetupStage()
{
    if (!stage)
        return;
    const sStageState s = ChooseStageState(*stage, ShaderSeconds(), gGameLook);
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

    // The model light needs the normals of every vertex; 2D quads and meshes without normals
    // stay flat. The colour set next becomes the material the light shines on.
    stageLit = gGameLook && lighting && batchNormals && shader && StageIsLit(*shader, *stage, true);
    if (stageLit)
        EnableModelLight();

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

    if (stageLit)
    {
        glDisable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
        glDisable(GL_NORMALIZE);
        stageLit = false;
    }

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}
