// cFont: loading of the glyph image and drawing of formatted text in window pixels.
#include "text/font.h"

#include "fs/memfile.h"
#include "image/image.h"
#include "image/texturemgr.h"

#include <cstdio>

namespace
{
// The pen moves two thirds of a cell, so each glyph overlaps the next one's cell.
int Advance(int x, int glyphWidth) { return (int)(x + glyphWidth * 0.6666667f); }
} // namespace

cFont::cFont()
{
    text[0] = 0;
    for (auto& g : glyphs)
        for (float& v : g)
            v = 0;
}

bool cFont::Load(const char* fileName, int width, int height)
{
    glyphWidth = width;
    glyphHeight = height;
    if (texture == 0)
    {
        cImage image;
        {
            memfile_t file;
            if (!file.open(fileName, "rb") || !image.LoadFromFile(file))
                return false;
        }
        // the grid must be about square: width at least the height and less than twice it
        if (image.height == 0 || image.width / image.height != 1)
            return false;
        texture = MakeTexture(image, GL_CLAMP, GL_LINEAR, GL_MODULATE, false);
        if (texture == 0)
            return false;
    }
    // Cell g sits in column g % 16 and row g / 16, row 0 at the top of the picture (t = 1).
    for (int g = 0; g < 256; g++)
    {
        float s0 = (g % 16) * 0.0625f, s1 = s0 + 0.0625f;
        float top = 1 - (g / 16) * 0.0625f, bottom = top - 0.0625f;
        float* c = glyphs[g];
        c[0] = s0, c[1] = bottom; // bottom-left
        c[2] = s1, c[3] = bottom; // bottom-right
        c[4] = s0, c[5] = top;    // top-left
        c[6] = s1, c[7] = top;    // top-right
    }
    return true;
}

void cFont::PrintAt(int x, int y, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    VPrintAt(x, y, format, args);
    va_end(args);
}

void cFont::Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    VPrint(format, args);
    va_end(args);
}

void cFont::VPrintAt(int x, int y, const char* format, va_list args)
{
    vsnprintf(text, sizeof text, format, args); // longer texts are cut
    cursorX = x;
    cursorY = y;
    Draw(x);
}

void cFont::VPrint(const char* format, va_list args)
{
    vsnprintf(text, sizeof text, format, args);
    Draw(cursorX);
}

void cFont::Draw(int lineStart)
{
    // Save what is changed below; blending, texturing and the rest are put back afterwards.
    GLint viewport[4], polygonMode[2], blendSrc, blendDst;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    glGetIntegerv(GL_BLEND_SRC, &blendSrc);
    glGetIntegerv(GL_BLEND_DST, &blendDst);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    bool blendOff = !glIsEnabled(GL_BLEND), textureOff = !glIsEnabled(GL_TEXTURE_2D);
    bool depthOn = glIsEnabled(GL_DEPTH_TEST), lightingOn = glIsEnabled(GL_LIGHTING),
         fogOn = glIsEnabled(GL_FOG);
    if (blendOff)
        glEnable(GL_BLEND);
    if (textureOff)
        glEnable(GL_TEXTURE_2D);
    if (depthOn)
        glDisable(GL_DEPTH_TEST);
    if (lightingOn)
        glDisable(GL_LIGHTING);
    if (fogOn)
        glDisable(GL_FOG);

    glPushAttrib(GL_CURRENT_BIT);
    glColor3f(color[0], color[1], color[2]);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE); // additive: black cells add nothing

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport[0], viewport[0] + viewport[2], viewport[1], viewport[1] + viewport[3], -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();

    // Pixels count from the top of the viewport; GL's y runs upwards from its bottom.
    glBindTexture(GL_TEXTURE_2D, texture);
    int lineHeight = lineGap + glyphHeight;
    for (const char* p = text; *p; p++)
    {
        signed char c = (signed char)*p;
        switch (c)
        {
        case '\n':
            cursorY += lineHeight;
            cursorX = lineStart;
            continue;
        case '\a': // one line up
            cursorY -= lineHeight;
            cursorX = lineStart;
            continue;
        case '\t':
            cursorX += tabWidth;
            continue;
        case ' ':
            cursorX = Advance(cursorX, glyphWidth);
            continue;
        case '\'': // switches between the two glyph sets; not drawn
            altSet = altSet == 1 ? 0 : 1;
            continue;
        }
        // codes start at the space; the alternate set is 128 cells further on, wrapping at 256
        const float* g = glyphs[(unsigned char)(c - 32 + 128 * altSet)];
        int bottom = viewport[3] - cursorY - glyphHeight;
        glBegin(GL_TRIANGLE_STRIP);
        glTexCoord2f(g[0], g[1]);
        glVertex2i(cursorX, bottom);
        glTexCoord2f(g[2], g[3]);
        glVertex2i(cursorX + glyphWidth, bottom);
        glTexCoord2f(g[4], g[5]);
        glVertex2i(cursorX, bottom + glyphHeight);
        glTexCoord2f(g[6], g[7]);
        glVertex2i(cursorX + glyphWidth, bottom + glyphHeight);
        glEnd();
        cursorX = Advance(cursorX, glyphWidth);
    }

    // Put back what was saved above; the colour comes back with the attribute stack.
    glPolygonMode(GL_FRONT_AND_BACK, polygonMode[0]);
    glBlendFunc(blendSrc, blendDst);
    if (blendOff)
        glDisable(GL_BLEND);
    if (textureOff)
        glDisable(GL_TEXTURE_2D);
    if (depthOn)
        glEnable(GL_DEPTH_TEST);
    if (lightingOn)
        glEnable(GL_LIGHTING);
    if (fogOn)
        glEnable(GL_FOG);
    glPopAttrib();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
