// A read-only view on a cached file, with the line reader every text format shares.
#pragma once

#include <cstdint>
#include <memory>

struct FileEntry;

// Every reader passes this limit to ReadLine; the buffer must hold one byte more.
const int MEMFILE_MAX_LINE = 1024;

class memfile_t
{
  public:
    memfile_t() {}
    memfile_t(const char* path, const char* mode) { open(path, mode); }
    // A view over a caller's buffer; with ownsData the view frees it (new[]) on close.
    memfile_t(const unsigned char* buffer, uint32_t length, const char* name, bool ownsData);
    ~memfile_t() { close(); }
    memfile_t(const memfile_t&) = delete;
    memfile_t& operator=(const memfile_t&) = delete;

    // Closes what the view held, then looks path up through the file manager. The view shares
    // the cached entry, so its bytes stay valid until it closes, even if the file is released.
    bool open(const char* path, const char* mode);
    void close();

    // Copies the next line (without its end) into buffer, which holds limit + 1 bytes.
    bool ReadLine(char* buffer, int limit);
    void MarkExhausted() { position = size + 1; }

    uint32_t size = 0;
    const unsigned char* data = nullptr;
    char* name = nullptr;
    const unsigned char* cursor = nullptr;
    uint32_t position = 0;
    bool ownsData = false;

  private:
    std::shared_ptr<const FileEntry> entry; // the cached file the view is open on
};
