// Stage rendering in a real GL context: the state each stage draws with and the neutral state
// that follows it.
#include "glfixture.h"
#include "shader/stagestate.h"

#include <cmath>
#include <vector>

namespace
{
// The neutral state between stages.
void ExpectNeutral()
{
    GLfloat f[6], c[4], m[16];
    const GLenum names[6] = {GL_BLEND,         GL_DEPTH_WRITEMASK, GL_TEXTURE_GEN_S,
                             GL_TEXTURE_GEN_T, GL_DEPTH_FUNC,      GL_MATRIX_MODE};
    for (int k = 0; k < 6; k++)
        glGetFloatv(names[k], f + k);
    glGetFloatv(GL_CURRENT_COLOR, c);
    glGetFloatv(GL_TEXTURE_MATRIX, m);
    EXPECT_EQ(std::vector<GLfloat>(f, f + 6), (std::vector<GLfloat>{0, 1, 0, 0, GL_LEQUAL, GL_MODELVIEW}));
    EXPECT_EQ(std::vector<GLfloat>(c, c + 4), std::vector<GLfloat>(4, 1.0f));
    for (int k = 0; k < 16; k++)
        EXPECT_EQ(m[k], k % 5 == 0 ? 1.0f : 0.0f) << "texture matrix " << k;
}
} // namespace

TEST_F(ShaderGLTest, StateDuringAndAfterEachStage)
{
    Parse("s\n{\n"
          "{\nblendfunc add\n}\n"
          "{\ndepthfunc equal\nalphafunc gt0\n}\n"
          "{\nrgbgen identitylightning\nalphagen lightningspecular\n}\n"
          "{\ntcgen environment\nrgbgen wave sin 0.5 0.5 0 1\n}\n"
          "{\nblendfunc gl_one gl_one_minus_src_colour\nalphafunc ge128\n}\n"
          "}\n");
    SetFakeClock(0.25);
    gTess.Begin(&Shader("s"));
    AddTriangle();
    gTess.Flush();
    ASSERT_EQ(Draws().size(), 5u);
    const std::vector<sDrawRecord>& d = Draws();

    // Additive blending without depth writes.
    EXPECT_TRUE(d[0].blend && !d[0].depthMask && !d[0].alphaTest);
    EXPECT_TRUE(d[0].blendSrc == GL_ONE && d[0].blendDst == GL_ONE);
    EXPECT_EQ(d[0].matrixMode, GL_MODELVIEW);

    // An explicit depth function keeps depth writes although alphafunc asked them off.
    EXPECT_TRUE(!d[1].blend && d[1].depthMask && d[1].alphaTest);
    EXPECT_EQ(d[1].depthFunc, GL_EQUAL);
    EXPECT_TRUE(d[1].alphaFunc == GL_GREATER && d[1].alphaRef == 0.0f);

    // The alpha test left on by the last stage is switched off by this one's setup.
    EXPECT_TRUE(!d[2].alphaTest && !d[2].genS);
    EXPECT_EQ(d[2].depthFunc, GL_LEQUAL);
    EXPECT_FLOAT_EQ(d[2].color[0], 0.5f);
    EXPECT_FLOAT_EQ(d[2].color[2], 0.5f);
    EXPECT_FLOAT_EQ(d[2].color[3], 0.25f);

    // Sphere mapping only for this stage; the sine is at its top a quarter second in.
    EXPECT_TRUE(d[3].genS && d[3].genT);
    EXPECT_NEAR(d[3].color[1], 1.0f, 1e-5);

    // A stage with an unknown factor draws without blending.
    EXPECT_TRUE(!d[4].blend && !d[4].genS && !d[4].depthMask);
    EXPECT_EQ(d[4].alphaFunc, GL_GEQUAL);
    EXPECT_FLOAT_EQ(d[4].alphaRef, 0.5f);

    ExpectNeutral();
    while (glGetError() != GL_NO_ERROR)
    {
    }
}

TEST_F(ShaderGLTest, TextureMatrixFollowsTheClock)
{
    Parse("s\n{\n{\ntcmod scroll 1 0\ntcmod rotate 45\n}\n}\n");
    GLfloat modelview[16];
    glTranslatef(1, 2, 3);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);

    SetFakeClock(1.0);
    gTess.Begin(&Shader("s"));
    AddTriangle();
    gTess.Flush();
    ASSERT_EQ(Draws().size(), 1u);
    // The matrix of the two modifiers at the clock's time reaches the GL.
    double expected[16];
    TcModMatrix(Shader("s").stages[0].tcMods, 1.0, 1.0, expected);
    for (int k = 0; k < 16; k++)
        EXPECT_NEAR(Draws()[0].textureMatrix[k], expected[k], 1e-5) << k;
    EXPECT_EQ(Draws()[0].matrixMode, GL_TEXTURE);

    ExpectNeutral();
    GLfloat after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int k = 0; k < 16; k++)
        EXPECT_EQ(after[k], modelview[k]) << k;
}

TEST_F(ShaderGLTest, BoundTextureAndCoordinates)
{
    Parse("s\n{\n{\nanimmap 2 a b c d\n}\n{\nmap $lightmap\n}\n{\nmap $whiteimage\n}\n{\nmap plain\n}\n"
          "{\nanimmap 5\n}\n}\n");
    cShader& s = Shader("s");
    s.stages[0].anim.textures = {11, 12, 13, 14};
    s.stages[3].texture = 21;
    gTess.lightmapTexture = 31;
    gTess.specialTexture = 32;

    // The animation frame follows the clock (frame 3 of four at 2 frames a second).
    SetFakeClock(1.6);
    gTess.Begin(&s);
    AddTriangle();
    gTess.Flush();
    ASSERT_EQ(Draws().size(), 5u);
    EXPECT_EQ(Draws()[0].texture, 14);
    EXPECT_EQ(Draws()[1].texture, 31);
    EXPECT_EQ(Draws()[1].coordPointer, static_cast<const void*>(gTess.lightmapSt));
    EXPECT_EQ(Draws()[2].texture, 32);
    EXPECT_EQ(Draws()[2].coordPointer, static_cast<const void*>(gTess.st));
    EXPECT_EQ(Draws()[3].texture, 21);
    EXPECT_EQ(Draws()[4].texture, 0); // an animmap without frames binds nothing
    gTess.lightmapTexture = gTess.specialTexture = 0;
}
