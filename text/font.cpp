// cFont: loading of the glyph image and drawing of formatted text in window pixels.
#include "text/font.h"

#include "fs/memfile.h"
#include "image/image.h"
#include "image/texturemgr.h"
#include "text/textblock.h"

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

// One call is one batch: the state is set once, every glyph goes into the vertex array, and
// the array is drawn with a single call before the state is put back.
void cFont::Draw(int lineStart)
{
    if (block)
    {
        block->Record(*this, lineStart);
        return;
    }
    const sSavedState saved = SaveState();
    SetUpState(saved);
    Flush(LayOut(lineStart, saved.viewport[3]));
    RestoreState(saved);
}

cFont::sSavedState cFont::SaveState() const
{
    sSavedState saved;
    glGetIntegerv(GL_VIEWPORT, saved.viewport);
    glGetIntegerv(GL_POLYGON_MODE, saved.polygonMode);
    glGetIntegerv(GL_BLEND_SRC, &saved.blendSrc);
    glGetIntegerv(GL_BLEND_DST, &saved.blendDst);
    saved.blendOff = !glIsEnabled(GL_BLEND);
    saved.textureOff = !glIsEnabled(GL_TEXTURE_2D);
    saved.depthOn = glIsEnabled(GL_DEPTH_TEST);
    saved.lightingOn = glIsEnabled(GL_LIGHTING);
    saved.fogOn = glIsEnabled(GL_FOG);
    return saved;
}

// Filled, textured, additive and in the font's colour, over everything, in viewport pixels.
void cFont::SetUpState(const sSavedState& saved)
{
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (saved.blendOff)
        glEnable(GL_BLEND);
    if (saved.textureOff)
        glEnable(GL_TEXTURE_2D);
    if (saved.depthOn)
        glDisable(GL_DEPTH_TEST);
    if (saved.lightingOn)
        glDisable(GL_LIGHTING);
    if (saved.fogOn)
        glDisable(GL_FOG);

    glPushAttrib(GL_CURRENT_BIT);
    glColor3f(color[0], color[1], color[2]);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE); // additive: black cells add nothing

    const GLint* v = saved.viewport;
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(v[0], v[0] + v[2], v[1], v[1] + v[3], -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glBindTexture(GL_TEXTURE_2D, texture);
}

bool cFont::MovePen(char c, int lineStart)
{
    switch (c)
    {
    case '\n':
        cursorY += lineGap + glyphHeight;
        cursorX = lineStart;
        return true;
    case '\a': // one line up
        cursorY -= lineGap + glyphHeight;
        cursorX = lineStart;
        return true;
    case '\t':
        cursorX += tabWidth;
        return true;
    case ' ':
        cursorX = Advance(cursorX, glyphWidth);
        return true;
    case '\'': // switches between the two glyph sets; not drawn
        altSet = altSet == 1 ? 0 : 1;
        return true;
    }
    return false;
}

int cFont::LayOut(int lineStart, int viewportHeight)
{
    sFontVertex* v = batch;
    for (const char* p = text; p < text + FONT_TEXT_SIZE && *p; p++)
    {
        if (MovePen(*p, lineStart))
            continue;
        // codes start at the space; the alternate set is 128 cells further on, wrapping at 256
        const float* g = glyphs[(unsigned char)(*p - 32 + 128 * altSet)];
        // pixels count from the top of the viewport; GL's y runs upwards from its bottom
        float x0 = (float)cursorX, x1 = (float)(cursorX + glyphWidth);
        float y0 = (float)(viewportHeight - cursorY - glyphHeight), y1 = y0 + glyphHeight;
        const sFontVertex bl{g[0], g[1], x0, y0}, br{g[2], g[3], x1, y0};
        const sFontVertex tl{g[4], g[5], x0, y1}, tr{g[6], g[7], x1, y1};
        // the two triangles of a strip over bottom-left, bottom-right, top-left, top-right
        *v++ = bl, *v++ = br, *v++ = tl;
        *v++ = tl, *v++ = br, *v++ = tr;
        cursorX = Advance(cursorX, glyphWidth);
    }
    return (int)(v - batch);
}

// Draws the batch with arrays of its own; the caller's client arrays (the geometry batch keeps
// its vertex and texture coordinate arrays on) come back as they were.
void cFont::Flush(int vertexCount)
{
    if (vertexCount == 0)
        return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(sFontVertex), &batch[0].s);
    glVertexPointer(2, GL_FLOAT, sizeof(sFontVertex), &batch[0].x);
    glDrawArrays(GL_TRIANGLES, 0, vertexCount);
    glPopClientAttrib();
}

// Puts back what SaveState read; the colour comes back with the attribute stack.
void cFont::RestoreState(const sSavedState& saved)
{
    glPolygonMode(GL_FRONT_AND_BACK, saved.polygonMode[0]);
    glBlendFunc(saved.blendSrc, saved.blendDst);
    if (saved.blendOff)
        glDisable(GL_BLEND);
    if (saved.textureOff)
        glDisable(GL_TEXTURE_2D);
    if (saved.depthOn)
        glEnable(GL_DEPTH_TEST);
    if (saved.lightingOn)
        glEnable(GL_LIGHTING);
    if (saved.fogOn)
        glEnable(GL_FOG);
    glPopAttrib();

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
