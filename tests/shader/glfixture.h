// Shared set-up of the GL tests of the shader folder: a real context in the start-up state,
// a fresh library, a frozen clock, and a draw hook that records the GL state of every draw.
#pragma once

#include "fs/memfile.h"
#include "platform/clock.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/glcontext.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

// What the GL held when one draw call was made.
struct sDrawRecord
{
    int count = 0;
    std::vector<uint32_t> indexes;
    GLboolean blend, alphaTest, depthMask, genS, genT, cullFace, lighting;
    GLint blendSrc, blendDst, alphaFunc, depthFunc, matrixMode, texture;
    GLfloat alphaRef, color[4], textureMatrix[16];
    const void* coordPointer;
};

inline std::vector<sDrawRecord>& Draws()
{
    static std::vector<sDrawRecord> draws;
    return draws;
}

inline void RecordDraw(unsigned int mode, int count, unsigned int type, const void* indexes)
{
    sDrawRecord r;
    r.count = count;
    r.indexes.assign(static_cast<const uint32_t*>(indexes), static_cast<const uint32_t*>(indexes) + count);
    const std::pair<GLenum, GLboolean*> flags[] = {
        {GL_BLEND, &r.blend},        {GL_ALPHA_TEST, &r.alphaTest}, {GL_DEPTH_WRITEMASK, &r.depthMask},
        {GL_TEXTURE_GEN_S, &r.genS}, {GL_TEXTURE_GEN_T, &r.genT},   {GL_CULL_FACE, &r.cullFace},
        {GL_LIGHTING, &r.lighting}};
    for (const auto& f : flags)
        glGetBooleanv(f.first, f.second);
    const std::pair<GLenum, GLint*> values[] = {
        {GL_BLEND_SRC, &r.blendSrc},   {GL_BLEND_DST, &r.blendDst},     {GL_ALPHA_TEST_FUNC, &r.alphaFunc},
        {GL_DEPTH_FUNC, &r.depthFunc}, {GL_MATRIX_MODE, &r.matrixMode}, {GL_TEXTURE_BINDING_2D, &r.texture}};
    for (const auto& v : values)
        glGetIntegerv(v.first, v.second);
    glGetFloatv(GL_ALPHA_TEST_REF, &r.alphaRef);
    glGetFloatv(GL_CURRENT_COLOR, r.color);
    glGetFloatv(GL_TEXTURE_MATRIX, r.textureMatrix);
    glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, const_cast<void**>(&r.coordPointer));
    Draws().push_back(r);
    glDrawElements(mode, count, type, indexes);
}

class ShaderGLTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGLContext(640, 480)) << "no GL context: run under a display (xvfb-run)";
        // The state video start-up leaves behind.
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_TRUE);
        glCullFace(GL_BACK);
        glDisable(GL_BLEND);
        glDisable(GL_ALPHA_TEST);
        glColor4f(1, 1, 1, 1);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gShaderMgr.Reset();
        gShaderMgr.Init();
        gTess.Reset();
        gTess.shader = nullptr;
        Draws().clear();
        gTessDrawElements = RecordDraw;
        SetFakeClock(0.0);
        while (glGetError() != GL_NO_ERROR)
        {
        }
    }

    void TearDown() override
    {
        gTessDrawElements = glDrawElements;
        gTess.Reset();
        gTess.shader = nullptr;
        gShaderMgr.Reset();
        ClearFakeClock();
    }

    void Parse(const std::string& text)
    {
        memfile_t file(reinterpret_cast<const unsigned char*>(text.data()),
                       static_cast<uint32_t>(text.size()), "test.shader", false);
        ASSERT_TRUE(gShaderMgr.ParseScript(file));
    }

    cShader& Shader(const char* name)
    {
        int i = gShaderMgr.Find(name);
        EXPECT_GE(i, 0) << name;
        return gShaderMgr.shaders[i < 0 ? 0 : i];
    }

    // One triangle, indexes 0 1 2, lying in z = 0.
    void AddTriangle()
    {
        const uint32_t idx[3] = {0, 1, 2};
        const float xyz[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        const float st[6] = {0, 0, 1, 0, 0, 1};
        gTess.AddMesh(3, 3, idx, xyz, st, nullptr, nullptr);
    }
};
