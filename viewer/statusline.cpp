// The status line and the log listener that feeds it and the console.
#include "viewer/statusline.h"

#include "console/console.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "text/font.h"

#include <cstdio>
#include <cstring>

namespace
{
// Lines come escaped and without their line end. Nothing here allocates but the console's own
// Print.
void OnDebugLine(LogFileId file, const char* line, void* user)
{
    if (file != LOG_FILE_DEBUG)
        return;
    static_cast<cStatusLine*>(user)->Show(line, timeGetTime());
    gConsole.Print("%s", line);
}

// The font's pen moves this far for each character.
int GlyphAdvance(const cFont& font) { return static_cast<int>(font.glyphWidth * 0.6666667f); }
} // namespace

cStatusLine::~cStatusLine() { Listen(false); }

void cStatusLine::Listen(bool on)
{
    if (on)
        SetLogListener(OnDebugLine, this);
    else if (listening)
        SetLogListener(nullptr, nullptr);
    listening = on;
}

void cStatusLine::Show(const char* line, uint32_t nowMs)
{
    snprintf(text, sizeof text, "%s", line ? line : "");
    shownAt = nowMs;
}

const char* cStatusLine::Visible(uint32_t nowMs, int maxChars)
{
    if (!text[0] || nowMs - shownAt >= STATUS_SHOW_MS || maxChars <= 0)
        return nullptr;
    const size_t length = strlen(text);
    if (length <= static_cast<size_t>(maxChars))
        return text;
    if (maxChars <= 3)
        snprintf(cut, sizeof cut, "%.*s", maxChars, text);
    else
        snprintf(cut, sizeof cut, "%.*s...", maxChars - 3, text);
    return cut;
}

void cStatusLine::Draw(cFont& font, int width, int height, uint32_t nowMs)
{
    const int advance = GlyphAdvance(font);
    const char* shown = Visible(nowMs, advance > 0 ? (width - 4) / advance : 0);
    if (!shown)
        return;
    font.color[0] = 1.0f;
    font.color[1] = 0.8f;
    font.color[2] = 0.3f;
    font.PrintAt(2, height - font.glyphHeight - font.lineGap - 2, "%s", shown);
    // An apostrophe in the text switches the glyph set; leave the font as others expect it.
    font.altSet = 0;
    font.color[0] = font.color[1] = font.color[2] = 1.0f;
}
