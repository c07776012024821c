// Escaping of control characters, so that text from outside data shows as one visible line:
// in the log files now, on screen later.
#pragma once

#include <cstddef>
#include <string>

// Copies in to out (size bytes, always ended by a NUL when size > 0), writing every byte below
// 0x20 and the byte 0x7F as a visible escape: \n, \r, \t, or \x followed by two hex digits.
// Other bytes pass unchanged. Text that does not fit is cut before an escape, never inside one.
// Answers the length written. A null in counts as empty.
size_t EscapeControls(char* out, size_t size, const char* in);

// Room that EscapeControls needs for a text of length bytes: each byte takes at most four.
constexpr size_t EscapedSize(size_t length) { return length * 4 + 1; }

// The text escaped as above, as one line of at most chars characters: a longer one is cut (never
// inside an escape) and ends in "..".
std::string EscapedLine(const std::string& text, size_t chars);
