// A thin wrapper of an open platform file, kept open by the archive readers.
#pragma once

#include <cstdio>

class file_t
{
  public:
    file_t() { name[0] = 0; }
    ~file_t() { close(); }
    file_t(const file_t&) = delete;
    file_t& operator=(const file_t&) = delete;

    // Opens path (the name field keeps at most 63 characters of it for messages).
    bool open(const char* path, const char* mode);
    void close();

    FILE* handle = nullptr;
    char name[64];
};
