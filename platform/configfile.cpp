// Key-value settings files: line syntax, comments and lookups.
#include "platform/configfile.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace
{
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string WithoutAny(const std::string& text, const char* drop)
{
    std::string out;
    for (char c : text)
    {
        if (!strchr(drop, c))
            out += c;
    }
    return out;
}
} // namespace

void ConfigFile::Clear(char newSeparator, const char* name)
{
    entries.clear();
    separator = newSeparator;
    sourceName = name ? name : "";
}

bool ConfigFile::ParseLine(const char* line, char lineSeparator)
{
    if (!line)
        return false;
    while (IsBlank(*line))
        line++;
    if (!*line || (line[0] == '/' && line[1] == '/'))
        return false;
    const char* sep = strchr(line, lineSeparator);
    if (!sep || sep - line >= CONFIG_MAX_KEY)
        return false;

    KeyValue pair;
    pair.key = WithoutAny(std::string(line, sep), " \t");
    const char* valueStart = sep + 1;
    while (IsBlank(*valueStart))
        valueStart++;
    std::string value = valueStart;

    // A trailing // comment is cut off, and then blanks count only inside double quotes.
    size_t comment = value.find("//");
    if (comment != std::string::npos)
    {
        value.erase(comment);
        std::string kept;
        bool quoted = false;
        for (char c : value)
        {
            if (c == '"')
                quoted = !quoted;
            if (quoted || !IsBlank(c))
                kept += c;
        }
        value = kept;
    }
    pair.value = WithoutAny(WithoutAny(value, "\t"), "\"");
    entries.push_back(std::move(pair));
    return true;
}

const KeyValue* ConfigFile::Find(const char* key) const
{
    if (!key)
        return nullptr;
    for (const KeyValue& pair : entries)
    {
        if (strcasecmp(pair.key.c_str(), key) == 0)
            return &pair;
    }
    return nullptr;
}

int ConfigFile::GetInt(const char* key, int def) const
{
    const KeyValue* pair = Find(key);
    return pair ? atoi(pair->value.c_str()) : def;
}

bool ConfigFile::GetInt(const char* key, int* out) const
{
    const KeyValue* pair = Find(key);
    if (!pair || !out)
        return false;
    *out = atoi(pair->value.c_str());
    return true;
}
