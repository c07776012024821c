// cTextBlock's texture: the glyphs of its steady prints drawn once through a framebuffer, then
// added to the window as one quad.
#define GL_GLEXT_PROTOTYPES
#include "text/textblock.h"

#include "text/font.h"

#include <GL/glext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace
{
// Drawing into a texture needs framebuffer objects (core since 3.0, or the extension).
bool FramebuffersSupported()
{
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (version && atoi(version) >= 3)
        return true;
    return extensions && strstr(extensions, "GL_ARB_framebuffer_object");
}

} // namespace

cTextBlock::~cTextBlock()
{
    if (framebuffer)
        glDeleteFramebuffers(1, &framebuffer);
    if (texture)
        glDeleteTextures(1, &texture);
}

// The texture is as large as the biggest block so far; its framebuffer has no depth, and the
// font's state (depth test off, additive blending) draws the glyphs over black exactly as they
// would add to the window.
void cTextBlock::BuildTexture(cFont& font, size_t count)
{
    const size_t end = VertexEnd(count);
    if (end == 0 || (!texture && !FramebuffersSupported()))
        return;
    float x0 = vertices[0].x, x1 = x0, y0 = vertices[0].y, y1 = y0;
    for (size_t i = 1; i < end; i++)
    {
        x0 = std::min(x0, vertices[i].x), x1 = std::max(x1, vertices[i].x);
        y0 = std::min(y0, vertices[i].y), y1 = std::max(y1, vertices[i].y);
    }
    GLint viewport[4], maxSize = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    // Window pixels inside the viewport only; the texture reaches from the viewport's top left
    // corner to the box's bottom right one (see below).
    boxX = std::max(static_cast<int>(x0), 0), boxY = std::max(static_cast<int>(y0), 0);
    boxWidth = std::min(static_cast<int>(x1), viewport[2]) - boxX;
    boxHeight = std::min(static_cast<int>(y1), viewport[3]) - boxY;
    const int width = boxX + boxWidth, height = viewport[3] - boxY;
    if (boxWidth <= 0 || boxHeight <= 0 || width > maxSize || height > maxSize)
        return;

    GLint oldTexture = 0, oldFramebuffer = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &oldTexture);
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &oldFramebuffer);
    // Saved while the caller's framebuffer is bound: the draw buffer comes back as its own.
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT | GL_ENABLE_BIT);
    if (width > textureWidth || height > textureHeight)
    {
        textureWidth = std::max(textureWidth, width);
        textureHeight = std::max(textureHeight, height);
        if (!texture)
            glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, textureWidth, textureHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        if (!framebuffer)
            glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE)
    {
        glBindFramebuffer(GL_FRAMEBUFFER, oldFramebuffer);
        glPopAttrib();
        glBindTexture(GL_TEXTURE_2D, oldTexture);
        return;
    }

    // Drawn upside down (below), the glyphs turn their back to the camera: culling stays off.
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_CULL_FACE);
    glClearColor(0, 0, 0, 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
    const cFont::sSavedState saved = font.SaveState();
    font.SetUpState(saved);
    // The window is stored top row first and its pixels are worked out in that order; drawn
    // upside down with the same viewport, the texture's rows follow the same order from the
    // same corner, so every glyph pixel comes out exactly as it would in the window.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1] + viewport[3], viewport[1], -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    DrawGlyphs(0, end);
    glPopClientAttrib();
    font.RestoreState(saved);
    glBindFramebuffer(GL_FRAMEBUFFER, oldFramebuffer);
    glPopAttrib();
    glBindTexture(GL_TEXTURE_2D, oldTexture);
    texturePrints = count;
    textureBuilds++;
}

// In the font's state: the texture replaces the glyph image, each texel counted once; texels
// no glyph touched are left out, which spares the renderer the blending of empty cells. Texel
// row r holds window row r counted from the top. One quad over the whole box costs less than
// quads fitted to the lines: the renderer pays more for a quad than for the empty room.
void cTextBlock::DrawTexture() const
{
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_ENABLE_BIT);
    glDisable(GL_CULL_FACE);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBindTexture(GL_TEXTURE_2D, texture);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0);
    const float x0 = static_cast<float>(boxX), y0 = static_cast<float>(boxY);
    const float x1 = x0 + boxWidth, y1 = y0 + boxHeight;
    const float s0 = x0 / textureWidth, s1 = x1 / textureWidth;
    const float t0 = (viewport[3] - y0) / textureHeight, t1 = (viewport[3] - y1) / textureHeight;
    const float quad[] = {s0, t0, x0, y0, s1, t0, x1, y0, s1, t1, x1, y1, s0, t1, x0, y1};
    glDisableClientState(GL_COLOR_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 4 * sizeof(float), quad);
    glVertexPointer(2, GL_FLOAT, 4 * sizeof(float), quad + 2);
    glDrawArrays(GL_QUADS, 0, 4);
    glPopAttrib();
}
