// Visible escapes for control characters; see escape.h.
#include "platform/escape.h"

#include <cstring>
#include <vector>

size_t EscapeControls(char* out, size_t size, const char* in)
{
    if (!out || size == 0)
        return 0;
    static const char HEX_DIGITS[] = "0123456789abcdef";
    size_t length = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(in ? in : ""); *p; ++p)
    {
        char escape[4];
        size_t escapeLength = 2;
        escape[0] = '\\';
        if (*p == '\n')
            escape[1] = 'n';
        else if (*p == '\r')
            escape[1] = 'r';
        else if (*p == '\t')
            escape[1] = 't';
        else if (*p < 0x20 || *p == 0x7F)
        {
            escape[1] = 'x';
            escape[2] = HEX_DIGITS[*p >> 4];
            escape[3] = HEX_DIGITS[*p & 0x0F];
            escapeLength = 4;
        }
        else
        {
            escape[0] = static_cast<char>(*p);
            escapeLength = 1;
        }
        // One byte stays free for the terminating NUL.
        if (size - 1 - length < escapeLength)
            break;
        memcpy(out + length, escape, escapeLength);
        length += escapeLength;
    }
    out[length] = 0;
    return length;
}

std::string EscapedLine(const std::string& text, size_t chars)
{
    std::vector<char> out(EscapedSize(text.size()));
    const size_t length = EscapeControls(out.data(), out.size(), text.c_str());
    if (length <= chars)
        return std::string(out.data(), length);
    const size_t kept = chars > 2 ? chars - 2 : 0;
    const size_t cut = EscapeControls(out.data(), kept + 1, text.c_str());
    return std::string(out.data(), cut) + std::string("..", chars - kept);
}
