// A block of text laid out once and drawn as one vertex array. While a block is open on the
// font, each print is recorded into it instead of drawn; a print equal to the one recorded at
// the same place (text, colour, glyph set, pen) keeps its glyphs, so only text that changed is
// laid out again. Closing the block draws it. Unless told not to (textured) and where the GL
// renders to textures, the leading prints that stayed the same for a few frames are drawn once
// into a texture of the block and from then on as one quad: the software renderer pays per
// small triangle and per pixel, and a glyph is two triangles over a cell that overlaps its
// neighbours. The texture holds exactly the pixels the glyphs would add.
#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <vector>

class cFont;

// One corner of a glyph in a block: texture coordinates, window pixels (y up) and colour.
struct sTextVertex
{
    float s, t, x, y, r, g, b;
};

// Frames the leading prints of a block stay unchanged before they go into its texture: long
// enough that a counter changing a few times a second (an animation frame) stays out of it.
const long TEXT_BLOCK_STEADY_FRAMES = 30;

class cTextBlock
{
  public:
    cTextBlock() = default;
    ~cTextBlock();
    cTextBlock(const cTextBlock&) = delete;
    cTextBlock& operator=(const cTextBlock&) = delete;

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
    // Whether steady prints may be drawn from a texture (where the GL can render into one).
    bool textured = true;
    // How many leading prints the texture holds now (0: none), and how often it was drawn.
    size_t texturePrints = 0;
    long textureBuilds = 0;

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
    // The number of leading prints that have not changed for TEXT_BLOCK_STEADY_FRAMES frames.
    size_t SteadyPrints() const;
    size_t VertexEnd(size_t printCount) const;
    // Draws the glyphs of the first count prints into the block's texture.
    void BuildTexture(cFont& font, size_t count);
    void DrawTexture() const;
    void DrawGlyphs(size_t first, size_t end) const;
    void Draw(cFont& font);

    std::vector<sPrint> prints;
    std::vector<char> texts;
    std::vector<sTextVertex> vertices;
    size_t next = 0;
    long frame = 0;
    // The frame in which the print at each place last changed; the prints after a changed one
    // are laid out again too, but do not count as changed.
    std::vector<long> changedAt;
    bool changedThisFrame = false;
    // What the layout depends on besides the prints: a change lays out everything again.
    int viewportHeight = -1, glyphWidth = 0, glyphHeight = 0, lineGap = 0, tabWidth = 0;
    // The texture, the framebuffer that draws into it, their size, and the window rectangle
    // (pixels, y up) whose pixels it holds.
    GLuint texture = 0, framebuffer = 0;
    int textureWidth = 0, textureHeight = 0;
    int boxX = 0, boxY = 0, boxWidth = 0, boxHeight = 0;
};
