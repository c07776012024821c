// A thin wrapper of an open platform file, kept open by the archive readers, and the one way
// the file layer opens a file by name: only regular files, without ever waiting on the path.
#pragma once

#include <cstdio>

// Opens path with mode when it names a regular file. A FIFO, device or folder is refused at
// once (it is opened without blocking and looked at before any read), with a message, and
// *notRegular is set; a path that cannot be opened at all answers null silently.
FILE* OpenRegularFile(const char* path, const char* mode, bool* notRegular = nullptr);

class file_t
{
  public:
    file_t() { name[0] = 0; }
    ~file_t() { close(); }
    file_t(const file_t&) = delete;
    file_t& operator=(const file_t&) = delete;

    // Opens path (the name field keeps at most 63 characters of it for messages). A path that
    // is no regular file is refused with its own message and sets notRegular.
    bool open(const char* path, const char* mode);
    void close();

    FILE* handle = nullptr;
    char name[64];
    bool notRegular = false; // the last open found something other than a regular file
};
