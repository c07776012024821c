// The bitmap font: 256 glyphs in a 16 x 16 grid of one texture, drawn as printf-formatted text
// at window pixel positions counted from the top left; each call draws its glyphs as one vertex array.
#pragma once

#include <GL/gl.h>
#include <cstdarg>

class cTextBlock;

const int FONT_TEXT_SIZE = 1024;
// Each glyph is two triangles, the same two that a four-corner strip makes.
const int FONT_VERTS_PER_GLYPH = 6;

// One corner of a glyph in the draw batch: texture coordinates, then window pixels (y up).
struct sFontVertex
{
    float s, t, x, y;
};

class cFont
{
  public:
    cFont();
    virtual ~cFont() {}

    // Loads the glyph image (once) and sets the cell size; false when the font is unusable.
    bool Load(const char* fileName, int width, int height);
    // Writes formatted text with the pen starting at (x, y).
    void PrintAt(int x, int y, const char* format, ...) __attribute__((format(printf, 4, 5)));
    // Writes formatted text from the current pen position.
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The same two with a ready argument list.
    void VPrintAt(int x, int y, const char* format, va_list args);
    void VPrint(const char* format, va_list args);

    int glyphWidth = 14;
    int glyphHeight = 12;
    GLuint texture = 0;
    int altSet = 0; // 1 draws codes from the second half of the glyph image
    int lineGap = 1;
    int tabWidth = 6;
    float color[3] = {1, 1, 1};
    float savedColor[3] = {1, 1, 1};
    int cursorX = 0;
    int cursorY = 0;
    char text[FONT_TEXT_SIZE];
    // While set, prints are recorded into this block (text/textblock.h) rather than drawn.
    cTextBlock* block = nullptr;
    // Texture coordinates per glyph: bottom-left, bottom-right, top-left, top-right (s, t each).
    float glyphs[256][8];

  private:
    friend class cTextBlock;

    // The GL state a call changes, read before drawing and put back after it.
    struct sSavedState
    {
        GLint viewport[4], polygonMode[2], blendSrc, blendDst;
        bool blendOff, textureOff, depthOn, lightingOn, fogOn;
    };

    // Draws text from the pen position; lines start again at lineStart.
    void Draw(int lineStart);
    sSavedState SaveState() const;
    void SetUpState(const sSavedState& saved);
    // Moves the pen for the codes that draw nothing; false for a code that draws a glyph.
    bool MovePen(char c, int lineStart);
    // Fills the batch from the text and moves the pen; answers the number of vertices.
    int LayOut(int lineStart, int viewportHeight);
    void Flush(int vertexCount);
    void RestoreState(const sSavedState& saved);

    // Every glyph of one call, drawn at once; the text holds at most one glyph a character.
    sFontVertex batch[FONT_TEXT_SIZE * FONT_VERTS_PER_GLYPH];
};
