// Builders of zip and pak archives in memory, for fixtures written by the tests.
//   ZipBuilder z;
//   z.AddDir("models/x/");
//   z.AddFile("models/x/a.md3", bytes, /*deflate*/ true);
//   std::vector<unsigned char> zip = z.Build();
// Every member's fields can be changed after AddFile/AddDir (through the returned reference)
// to build broken archives.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class ZipBuilder
{
  public:
    struct Member
    {
        std::string name;
        std::vector<unsigned char> data; // uncompressed contents
        bool deflate = false;
        // Overrides; -1 keeps the value computed from the data.
        int method = -1;              // written to both headers
        int64_t localCompressed = -1; // local header sizes
        int64_t localUncompressed = -1;
        int64_t centralCompressed = -1; // central record sizes
        int64_t centralUncompressed = -1;
        int64_t centralOffset = -1;         // local header offset in the central record
        bool dataDescriptor = false;        // zero local sizes, sizes in a trailing descriptor
        std::vector<unsigned char> payload; // replaces the stored/compressed bytes when not empty
    };

    Member& AddFile(const std::string& name, const std::vector<unsigned char>& bytes, bool deflate = false);
    Member& AddFile(const std::string& name, const std::string& text, bool deflate = false);
    Member& AddDir(const std::string& name);
    void SetComment(const std::string& text) { comment = text; }
    // Overrides of the end record; -1 keeps the computed value.
    int64_t entryCount = -1;
    int64_t centralOffset = -1;

    std::vector<unsigned char> Build() const;
    bool Write(const std::string& path) const;

    std::deque<Member> members; // a deque, so references from Add* stay valid

  private:
    std::string comment;
};

class PakBuilder
{
  public:
    struct Member
    {
        std::string name; // written into 56 bytes; a name of 56 or more has no terminator
        std::vector<unsigned char> data;
        int64_t position = -1; // overrides of the directory record; -1 keeps the real ones
        int64_t length = -1;
    };

    Member& AddFile(const std::string& name, const std::vector<unsigned char>& bytes);
    Member& AddFile(const std::string& name, const std::string& text);
    std::vector<unsigned char> Build() const;
    bool Write(const std::string& path) const;

    std::deque<Member> members; // a deque, so references from Add* stay valid
};

// Little-endian patching of built archives.
void Put16(std::vector<unsigned char>& bytes, size_t offset, uint32_t value);
void Put32(std::vector<unsigned char>& bytes, size_t offset, uint32_t value);
std::vector<unsigned char> Bytes(const std::string& text);
