// cTextBlock: recording prints, laying out only those that changed, drawing a block at once.
#include "text/textblock.h"

#include "text/font.h"

#include <cstring>

void cTextBlock::Begin(cFont& font)
{
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[3] != viewportHeight || font.glyphWidth != glyphWidth || font.glyphHeight != glyphHeight ||
        font.lineGap != lineGap || font.tabWidth != tabWidth)
    {
        Truncate(0);
        viewportHeight = viewport[3];
        glyphWidth = font.glyphWidth;
        glyphHeight = font.glyphHeight;
        lineGap = font.lineGap;
        tabWidth = font.tabWidth;
    }
    next = 0;
    changedThisFrame = false;
    font.block = this;
}

void cTextBlock::End(cFont& font)
{
    Truncate(next);
    font.block = nullptr;
    if (!textured)
        texturePrints = 0;
    const size_t steady = textured ? SteadyPrints() : 0;
    if (steady > texturePrints)
        BuildTexture(font, steady);
    Draw(font);
    frame++;
}

bool cTextBlock::Matches(const sPrint& print, const cFont& font, int lineStart, size_t length) const
{
    return print.textLength == length && print.lineStart == lineStart && print.xIn == font.cursorX &&
           print.yIn == font.cursorY && print.altSetIn == font.altSet &&
           memcmp(print.color, font.color, sizeof print.color) == 0 &&
           memcmp(&texts[print.textStart], font.text, length) == 0;
}

void cTextBlock::Truncate(size_t index)
{
    if (index < texturePrints)
        texturePrints = 0;
    if (index >= prints.size())
        return;
    // Shrinking keeps the capacity: a block that lays out the same amount again allocates nothing.
    texts.resize(prints[index].textStart);
    vertices.resize(prints[index].vertexStart);
    prints.resize(index);
}

void cTextBlock::Record(cFont& font, int lineStart)
{
    const size_t length = strnlen(font.text, sizeof font.text);
    if (next < prints.size() && Matches(prints[next], font, lineStart, length))
    {
        const sPrint& same = prints[next++];
        font.cursorX = same.xOut;
        font.cursorY = same.yOut;
        font.altSet = same.altSetOut;
        return;
    }
    // The glyphs after this print move in the array: they are laid out again as well.
    Truncate(next);
    if (changedAt.size() <= next)
        changedAt.resize(2 * next + 16, frame); // a place never used before counts as changed now
    if (!changedThisFrame)
    {
        changedAt[next] = frame;
        changedThisFrame = true;
    }
    sPrint print;
    print.textStart = texts.size();
    print.textLength = length;
    print.vertexStart = vertices.size();
    memcpy(print.color, font.color, sizeof print.color);
    print.lineStart = lineStart;
    print.xIn = font.cursorX;
    print.yIn = font.cursorY;
    print.altSetIn = font.altSet;
    const int count = font.LayOut(lineStart, viewportHeight);
    // Room to spare, so that a text a little longer than before (a counter gaining a digit) is
    // not a new allocation.
    if (texts.size() + length > texts.capacity())
        texts.reserve(2 * (texts.size() + length));
    if (vertices.size() + count > vertices.capacity())
        vertices.reserve(2 * (vertices.size() + count));
    texts.insert(texts.end(), font.text, font.text + length);
    for (int i = 0; i < count; i++)
    {
        const sFontVertex& v = font.batch[i];
        vertices.push_back({v.s, v.t, v.x, v.y, font.color[0], font.color[1], font.color[2]});
    }
    print.xOut = font.cursorX;
    print.yOut = font.cursorY;
    print.altSetOut = font.altSet;
    prints.push_back(print);
    next++;
    layouts++;
}

size_t cTextBlock::SteadyPrints() const
{
    size_t steady = 0;
    while (steady < prints.size() && changedAt[steady] + TEXT_BLOCK_STEADY_FRAMES <= frame)
        steady++;
    return steady;
}

size_t cTextBlock::VertexEnd(size_t printCount) const
{
    return printCount < prints.size() ? prints[printCount].vertexStart : vertices.size();
}

// The font's own state for text; the texture's pixels, already weighted by the glyphs' alpha,
// are added as they are, then the glyphs of the prints it does not hold.
void cTextBlock::Draw(cFont& font)
{
    if (vertices.empty())
        return;
    const cFont::sSavedState saved = font.SaveState();
    font.SetUpState(saved);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_INDEX_ARRAY);
    glDisableClientState(GL_EDGE_FLAG_ARRAY);
    if (texturePrints > 0)
        DrawTexture();
    DrawGlyphs(VertexEnd(texturePrints), vertices.size());
    glPopClientAttrib();
    font.RestoreState(saved);
}

void cTextBlock::DrawGlyphs(size_t first, size_t end) const
{
    if (first >= end)
        return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, sizeof(sTextVertex), &vertices[0].s);
    glVertexPointer(2, GL_FLOAT, sizeof(sTextVertex), &vertices[0].x);
    glColorPointer(3, GL_FLOAT, sizeof(sTextVertex), &vertices[0].r);
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(first), static_cast<GLsizei>(end - first));
}
