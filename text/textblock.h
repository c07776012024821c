// A block of text laid out once and drawn as one vertex array. While a block is open on the
// font, each print is recorded into it instead of drawn; a print equal to the one recorded at
// the same place (text, colour, glyph set, pen) keeps its glyphs, so only text that changed is
// laid out again. Closing the block draws all of it with one call.
#pragma once

#include <cstddef>
#include <vector>

class cFont;

// One corner of a glyph in a block: texture coordinates, window pixels (y up) and colour.
struct sTextVertex
{
    float s, t, x, y, r, g, b;
};

class cTextBlock
{
  public:
    // Opens the block on the font: the prints that follow are recorded, from the first on.
    void Begin(cFont& font);
    // Forgets the prints past the last one made since Begin, closes the block and draws it.
    void End(cFont& font);
    // Takes the font's formatted text (font.text) with the pen where it is; the font calls this
    // for every print while the block is open, and the pen moves as drawing would move it.
    void Record(cFont& font, int lineStart);

    size_t VertexCount() const { return vertices.size(); }
    // Prints laid out since the block was made (those that matched their record are not).
    long layouts = 0;

  private:
    struct sPrint
    {
        size_t textStart, textLength, vertexStart;
        float color[3];
        int lineStart, xIn, yIn, altSetIn, xOut, yOut, altSetOut;
    };

    bool Matches(const sPrint& print, const cFont& font, int lineStart, size_t length) const;
    // Drops the print at index and every one after it.
    void Truncate(size_t index);
    void Draw(cFont& font);

    std::vector<sPrint> prints;
    std::vector<char> texts;
    std::vector<sTextVertex> vertices;
    size_t next = 0;
    // What the layout depends on besides the prints: a change lays out everything again.
    int viewportHeight = -1, glyphWidth = 0, glyphHeight = 0, lineGap = 0, tabWidth = 0;
};
