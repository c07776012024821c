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

// Every named record but "$default", fields at their defaults left out (flags, factors in hex).
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

inline std::string GLState()
{
    GLint blend = glIsEnabled(GL_BLEND), write, tex;
    glGetIntegerv(GL_DEPTH_WRITEMASK, &write);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &tex);
    void* coords;
    glGetPointerv(GL_TEXTURE_COORD_ARRAY_POINTER, &coords);
    return "blend " + std::to_string(blend) + " write " + std::to_string(write) + " tex " +
           std::to_string(tex) + (coords == gTess.lightmapSt ? " lightmap" : "") +
           (coords == gTess.envSt ? " env" : "");
}

inline std::vector<std::string> gDraws; // GLState() and the index count of every draw

class ShaderGLTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(OpenTestGLContext(640, 480)) << "no GL context: run under a display (xvfb-run)";
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
        for (int k = 0; k < 16; k++)
            glGetError();
    }

    const cShader& Shader(const char* name) { return gShaderMgr.shaders[std::max(0, gShaderMgr.Find(name))]; }
};
