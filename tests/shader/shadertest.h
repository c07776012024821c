// Shared by the shader tests: scripts parsed from text, records written as one line, and for the
// GL tests a real context in the start-up state, a fresh library, a frozen clock and a draw hook
// that writes down the GL state of every draw.
#pragma once

#include "fs/memfile.h"
#include "platform/clock.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "support/glcontext.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

inline bool ParseText(const std::string& text)
{
    memfile_t file(reinterpret_cast<const unsigned char*>(text.data()), static_cast<uint32_t>(text.size()),
                   "test.shader", false);
    const bool ok = gShaderMgr.ParseScript(file);
    EXPECT_EQ(file.position, file.size);
    return ok;
}

// Shaders of one stage each, written "name=lines" apart by '|', with the lines apart by ';'.
inline std::string Blocks(std::string blocks)
{
    std::replace(blocks.begin(), blocks.end(), ';', '\n');
    std::string text;
    for (std::istringstream in(blocks + '|'); std::getline(in, blocks, '|');)
        text += blocks.replace(blocks.find('='), 1, "\n{\n{\n") + "\n}\n}\n";
    return text;
}

// What drawing reads of every named record but "$default", fields at their defaults left out:
// "name: flags deforms [map flags blend depth alpha colour-and-alpha-sources waves constants
// tcgen tcmods animmap-rate frames] ...; ..." (flags, factors and functions in hex).
inline std::string DescribeLibrary()
{
    std::ostringstream out;
    const cShaderStage plain;
    for (const auto& [name, i] : gShaderMgr.index)
    {
        const cShader& s = gShaderMgr.shaders[i];
        if (i == 0)
            continue;
        out << (out.tellp() ? "; " : "") << name << ": " << std::hex << s.flags << std::dec;
        for (const sDeform& d : s.deforms)
            out << " D" << int(d.type) << ':' << d.params[0] << ',' << d.params[1] << ',' << d.params[2]
                << '/' << d.wave.func << ',' << d.wave.base << ',' << d.wave.amplitude << ','
                << d.wave.frequency;
        for (const cShaderStage& st : s.stages)
        {
            out << " [" << st.map << std::hex;
            if (st.flags)
                out << " f" << st.flags;
            if (st.blendSrc != plain.blendSrc || st.blendDst != plain.blendDst)
                out << " b" << st.blendSrc << ',' << st.blendDst;
            if (st.depthFunc != plain.depthFunc)
                out << " d" << st.depthFunc;
            if (st.alphaFunc != plain.alphaFunc)
                out << " a" << st.alphaFunc << ',' << st.alphaRef;
            out << std::dec;
            if (st.rgbGen || st.alphaGen)
                out << " c" << st.rgbGen << ',' << st.alphaGen;
            for (const sWave* w : {st.rgbGen == RGBGEN_WAVE ? &st.rgbWave : nullptr,
                                   st.alphaGen == ALPHAGEN_WAVE ? &st.alphaWave : nullptr})
                if (w)
                    out << " w" << w->func << ',' << w->base << ',' << w->amplitude << ',' << w->phase << ','
                        << w->frequency;
            if (st.rgbGen == RGBGEN_CONST)
                out << " k" << st.constColor[0] << ',' << st.constColor[1] << ',' << st.constColor[2];
            if (st.alphaGen == ALPHAGEN_CONST)
                out << " K" << st.constColor[3];
            if (st.tcGen)
                out << " t" << st.tcGen;
            for (const sTcMod& m : st.tcMods)
                out << " m" << m.type << ':' << m.params[0] << ',' << m.params[1] << ',' << m.params[2] << ','
                    << m.params[3] << ',' << m.params[4] << ',' << m.params[5];
            if (st.flags & STAGE_ANIMMAP)
                out << " n" << st.anim.frequency;
            for (const std::string& frame : st.anim.names)
                out << ' ' << frame;
            out << ']';
        }
    }
    return out.str();
}

// The GL state a stage draws with: blending, alpha test, depth writes and function, sphere
// mapping, bound texture, colour, the texture matrix's first column and move when they are not
// the identity's, the matrix mode when not the modelview, light, and lightmap coordinates.
inline std::string GLState()
{
    GLint i[10];
    GLfloat f[5], m[16];
    const GLenum ints[10] = {GL_BLEND,           GL_BLEND_SRC,  GL_BLEND_DST,     GL_ALPHA_TEST,
                             GL_DEPTH_WRITEMASK, GL_DEPTH_FUNC, GL_TEXTURE_GEN_S, GL_TEXTURE_BINDING_2D,
                             GL_ALPHA_TEST_FUNC, GL_MATRIX_MODE};
    for (int k = 0; k < 10; k++)
        glGetIntegerv(ints[k], i + k);
    glGetFloatv(GL_ALPHA_TEST_REF, f);
    glGetFloatv(GL_CURRENT_COLOR, f + 1);
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    void* coords;
    glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &coords);
    std::ostringstream out;
    out << std::hex << "blend " << i[0];
    if (i[0])
        out << ' ' << i[1] << ',' << i[2];
    out << " alpha " << i[3];
    if (i[3])
        out << ' ' << i[8] << ',' << f[0];
    out << " depth " << i[4] << ' ' << i[5] << " sphere " << i[6] << std::dec << " tex " << i[7] << " colour "
        << f[1] << ',' << f[2] << ',' << f[3] << ',' << f[4];
    if (m[0] != 1 || m[1] != 0 || m[12] != 0 || m[13] != 0)
        out << " matrix " << m[0] << ',' << m[1] << ',' << m[12] << ',' << m[13];
    out << (i[9] != GL_MODELVIEW ? " mode" : "") << (glIsEnabled(GL_LIGHTING) ? " lit" : "")
        << (coords == gTess.lightmapSt ? " lightmap"
            : coords == gTess.envSt    ? " env"
                                       : "");
    return out.str();
}

inline std::vector<std::string> gDraws; // GLState() and the index count of every draw

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
        glColor4f(1, 1, 1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gShaderMgr.Reset();
        gShaderMgr.Init();
        gTess.Reset();
        gDraws.clear();
        gTessDrawElements = [](unsigned int mode, int count, unsigned int type, const void* indexes)
        {
            gDraws.push_back(GLState() + " n" + std::to_string(count));
            glDrawElements(mode, count, type, indexes);
        };
        SetFakeClock(0.0);
    }

    void TearDown() override
    {
        gTessDrawElements = glDrawElements;
        gGameLook = false;
        gTess.Reset();
        gShaderMgr.Reset();
        ClearFakeClock();
        while (glGetError() != GL_NO_ERROR)
        {
        }
    }

    const cShader& Shader(const char* name) { return gShaderMgr.shaders[std::max(0, gShaderMgr.Find(name))]; }

    // One triangle, indexes 0 1 2, lying in z = 0.
    void AddTriangle()
    {
        const uint32_t idx[3] = {0, 1, 2};
        const float xyz[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0}, st[6] = {0, 0, 1, 0, 0, 1};
        gTess.AddMesh(3, 3, idx, xyz, st, nullptr, nullptr);
    }
};
