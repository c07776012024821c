// Reader of key-value settings files: one pair per line, key and value around a separator,
// with line and block comments; keys are looked up ignoring letter case.
#pragma once

#include <functional>
#include <string>
#include <vector>

class memfile_t;

// Keys of this many characters or more (before clean-up) are passed over.
const int CONFIG_MAX_KEY = 512;
// Pairs one file may leave in a ConfigFile; later lines are dropped with a message. A pair
// costs some sixteen times a short line, so a huge file would cost gigabytes.
const int CONFIG_MAX_PAIRS = 4096;

struct KeyValue
{
    std::string key;
    std::string value;
};

class ConfigFile
{
  public:
    explicit ConfigFile(char fieldSeparator = '=') : separator(fieldSeparator) {}

    // Replaces the pairs with those of the whole view (opened and closed by the caller).
    bool Load(memfile_t& file, char newSeparator);
    // Hands each pair of the view to use as soon as it is read and keeps none, so a script of
    // any length runs in the memory of one line; use answers false to stop reading. Leaves the
    // pairs empty.
    bool Stream(memfile_t& file, char newSeparator, const std::function<bool(const KeyValue&)>& use);
    // Appends the pair of one line; false when the line holds none.
    bool ParseLine(const char* line, char lineSeparator);

    // The first pair whose key equals key ignoring case, or null.
    const KeyValue* Find(const char* key) const;
    // The value of key converted like atoi, or def when the key is missing.
    int GetInt(const char* key, int def) const;
    // Stores the converted value in out only when the key exists; answers whether it did.
    bool GetInt(const char* key, int* out) const;

    // Forgets every pair and sets the separator and source name anew.
    void Clear(char newSeparator, const char* name = "");

    char Separator() const { return separator; }
    const std::string& SourceName() const { return sourceName; }
    const std::vector<KeyValue>& Entries() const { return entries; }

  private:
    char separator;
    std::string sourceName;
    std::vector<KeyValue> entries;
};
