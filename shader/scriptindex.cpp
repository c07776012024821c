// Shader scripts read at start are only indexed: each block's name and where it starts are
// noted, and the block is parsed the first time its name is looked up. A game holds thousands
// of shaders (mostly for maps) while a model viewer draws a few dozen, so this spares nearly
// all of the parsing at start. The index follows the parser word for word, so a block parsed
// late gives the record an immediate parse would have given.
#include "shader/scriptparser.h"

#include <array>
#include <cstring>

namespace
{
// One block of a script: the name it is stored under and where its parse begins (the line
// and the words of that line that belong to the blocks before it).
struct sScannedBlock
{
    std::string_view name;
    uint32_t lineStart = 0;
    uint32_t skipWords = 0;
};

// Whether a byte of x is zero.
inline uint64_t HasZeroByte(uint64_t x) { return (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull; }

// Whether one of eight bytes ends a line (NUL, carriage return, line feed) or is a brace.
inline bool HasSpecialByte(uint64_t x)
{
    const uint64_t ones = 0x0101010101010101ull;
    return (HasZeroByte(x) | HasZeroByte(x ^ (ones * '\r')) | HasZeroByte(x ^ (ones * '\n')) |
            HasZeroByte(x ^ (ones * '{')) | HasZeroByte(x ^ (ones * '}'))) != 0;
}

// Finds the blocks the parser would store, in order, tracking brace depth, the keyword of the
// line and the name exactly as it does; SCRIPT_SCAN_PADDING zero bytes must follow data[size - 1]. Answers
// false when a block would start with state that the lines before it leave behind (a stage keyword outside a
// stage, or words before a closing brace on the line that opens the next block), or when a line is so long
// that the parser cuts it; such a script is parsed at once.
bool ScanScript(const char* data, uint32_t size, std::vector<sScannedBlock>& blocks)
{
    int depth = 0;
    bool stageDirty = false; // a stage keyword applied outside a stage, not yet pushed
    sScannedBlock block;
    // Bytes that end a line (1) and braces (2); every other byte is 0.
    static const std::array<uint8_t, 256> classes = []
    {
        std::array<uint8_t, 256> c{};
        c[0] = c['\r'] = c['\n'] = 1;
        c['{'] = c['}'] = 2;
        return c;
    }();
    const char* const end = data + size;
    for (const char* line = data; line < end;)
    {
        // Inside a stage only braces count: on to the line of the next one. Lines are found
        // by their ends, so the one holding it starts after the last line end before it.
        if (depth >= 2)
        {
            const char* brace = static_cast<const char*>(memchr(line, '}', static_cast<size_t>(end - line)));
            const char* open = static_cast<const char*>(
                memchr(line, '{', static_cast<size_t>((brace ? brace : end) - line)));
            brace = open ? open : brace;
            // A NUL ends the data.
            if (!brace || memchr(line, 0, static_cast<size_t>(brace - line)))
                break;
            while (brace > line && brace[-1] != '\r' && brace[-1] != '\n')
                brace--;
            line = brace;
        }
        // Lines end at a line feed, a carriage return or a NUL, which ends the data.
        const char* p = line;
        while (*p == ' ' || *p == '\t')
            p++;
        const char* lineEnd = p;
        for (;;)
        {
            // Eight bytes at a time while none of them ends the line or is a brace.
            uint64_t eight;
            memcpy(&eight, lineEnd, sizeof eight);
            while (!HasSpecialByte(eight))
            {
                lineEnd += sizeof eight;
                memcpy(&eight, lineEnd, sizeof eight);
            }
            uint8_t c;
            while (!(c = classes[static_cast<unsigned char>(*lineEnd)]))
                lineEnd++;
            if (c == 1)
                break;
            lineEnd++;
        }
        if (lineEnd - line >= SCRIPT_MAX_LINE)
            return false;
        const uint32_t offset = static_cast<uint32_t>(line - data);
        // A second line end right after the first belongs to the same break.
        line = lineEnd < end && *lineEnd ? lineEnd + 1 : end;
        if (line < end && (*line == '\r' || *line == '\n'))
            line++;
        if (p == lineEnd || (p[0] == '/' && p[1] == '/'))
            continue;
        int keyword = KW_NONE;
        uint32_t args = 0;
        for (uint32_t word = 0;; word++)
        {
            while (p < lineEnd && (*p == ' ' || *p == '\t'))
                p++;
            if (p == lineEnd)
                break;
            const char* start = p;
            while (p < lineEnd && *p != ' ' && *p != '\t')
                p++;
            const size_t len = static_cast<size_t>(p - start);
            int k = KW_COUNT;
            if (len == 1 && (*start == '{' || *start == '}'))
                k = *start == '{' ? KW_OPEN : KW_CLOSE;
            else if (depth <= 1) // deeper words only fill stages, pushed before the block closes
                k = ScriptKeyword(start, len);
            if ((keyword == KW_RGBGEN || keyword == KW_ALPHAGEN) && k != KW_OPEN && k != KW_CLOSE)
                k = KW_COUNT;
            if (k == KW_COUNT)
            {
                if (depth == 0)
                    block.name = std::string_view(start, len);
                else
                    args++;
            }
            else if (k == KW_OPEN || k == KW_CLOSE)
            {
                keyword = KW_NONE;
                depth += k == KW_OPEN ? 1 : -1;
                if (k == KW_CLOSE && depth == 1)
                    stageDirty = false;
                if (k == KW_CLOSE && depth == 0)
                {
                    if (args > 0 || stageDirty)
                        return false;
                    blocks.push_back(block);
                    block = sScannedBlock();
                    block.lineStart = offset;
                    block.skipWords = word + 1;
                }
            }
            else
                keyword = k;
        }
        if (keyword >= KW_MAP && depth <= 1)
            stageDirty = true;
    }
    return true;
}
} // namespace

bool ShaderMgr::IndexScript(std::vector<unsigned char>& bytes)
{
    const size_t size = bytes.size();
    if (size == 0)
        return false;
    // The names are views into the script, which is kept with its padding for the scan.
    bytes.insert(bytes.end(), SCRIPT_SCAN_PADDING, 0);
    std::vector<sScannedBlock> blocks;
    if (!ScanScript(reinterpret_cast<const char*>(bytes.data()), static_cast<uint32_t>(size), blocks))
    {
        bytes.resize(size);
        return false;
    }
    EnsureDefault();
    scriptTexts.push_back(std::move(bytes));
    bytes.clear();
    const uint32_t script = static_cast<uint32_t>(scriptTexts.size() - 1);
    // The first definition of a name wins, as in a parse. One key buffer serves every lookup.
    pending.reserve(pending.size() + blocks.size());
    std::string key;
    for (const sScannedBlock& b : blocks)
    {
        if (pending.count(b.name))
            continue;
        key.assign(b.name);
        if (index.find(key) == index.end())
            pending.emplace(b.name, sPendingBlock{script, b.lineStart, b.skipWords});
    }
    return true;
}

int ShaderMgr::Find(const char* name)
{
    const int i = static_cast<const ShaderMgr*>(this)->Find(name);
    if (i >= 0 || !name || pending.empty())
        return i;
    auto it = pending.find(std::string_view(name));
    if (it == pending.end())
        return -1;
    const sPendingBlock block = it->second;
    pending.erase(it);
    const std::vector<unsigned char>& text = scriptTexts[block.script];
    cScriptParser parser(*this);
    parser.skipWords = static_cast<int>(block.skipWords);
    parser.stopAtStore = true;
    ForEachScriptLine(text.data(), static_cast<uint32_t>(text.size() - SCRIPT_SCAN_PADDING), block.lineStart,
                      [&](char* line, uint32_t)
                      {
                          parser.ProcessLine(line);
                          return !parser.stored;
                      });
    return static_cast<const ShaderMgr*>(this)->Find(name);
}
