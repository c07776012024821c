// cFont: loading of the glyph image and drawing of formatted text.
#include "text/font.h"

cFont::cFont()
{
    text[0] = 0;
    for (auto& g : glyphs)
        for (float& v : g)
            v = 0;
}

bool cFont::Load(const char*, int width, int height)
{
    glyphWidth = width;
    glyphHeight = height;
    return false;
}

void cFont::PrintAt(int, int, const char*, ...) {}
void cFont::Print(const char*, ...) {}
void cFont::VPrintAt(int, int, const char*, va_list) {}
void cFont::VPrint(const char*, va_list) {}
void cFont::Draw(int) {}
