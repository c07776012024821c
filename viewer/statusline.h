// The status line: the newest debug-file line, shown at the bottom of the view for a few
// seconds and echoed in the console, so a user sees why something failed.
#pragma once

#include "platform/escape.h"

#include <cstdint>

class cFont;

// How long a line stays on screen.
const uint32_t STATUS_SHOW_MS = 5000;
// The longest debug line, as the log escapes it.
const int STATUS_MAX_TEXT = static_cast<int>(EscapedSize(511));

class cStatusLine
{
  public:
    ~cStatusLine();

    // On: every debug-file line from now on is shown and echoed (the log listener); off
    // removes the listener.
    void Listen(bool on);
    bool Listening() const { return listening; }
    // Takes a line as the one shown, from nowMs on.
    void Show(const char* line, uint32_t nowMs);
    // The text to draw at nowMs for a line of at most maxChars characters (a longer one is cut
    // and ends in "..."), or null when nothing is shown. The text lives until the next call.
    const char* Visible(uint32_t nowMs, int maxChars);
    // Draws the visible text along the bottom of a window of this size, cut to its width.
    void Draw(cFont& font, int width, int height, uint32_t nowMs);

  private:
    char text[STATUS_MAX_TEXT] = {};
    char cut[STATUS_MAX_TEXT] = {};
    uint32_t shownAt = 0;
    bool listening = false;
};
