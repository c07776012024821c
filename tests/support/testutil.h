// Small helpers shared by the tests: temporary folders, whole files, capture of the log files.
#pragma once

#include "platform/log.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// Little-endian patching of built files.
inline void PutLe(Bytes& bytes, size_t offset, uint32_t value, int size)
{
    for (int i = 0; i < size; i++)
        bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
}
inline void Put16(Bytes& b, size_t at, uint32_t v) { PutLe(b, at, v, 2); }
inline void Put32(Bytes& b, size_t at, uint32_t v) { PutLe(b, at, v, 4); }
inline Bytes& Append(Bytes& to, const Bytes& more)
{
    to.insert(to.end(), more.begin(), more.end());
    return to;
}

// A fresh folder under /tmp, removed with its contents on destruction.
struct TempDir
{
    ~TempDir() { std::filesystem::remove_all(path, ignored); }
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }
    char templ[20] = "/tmp/keltest.XXXXXX";
    std::string path = mkdtemp(templ) ? templ : "";
    std::error_code ignored;
};

// Makes dir the working folder for its lifetime.
struct ScopedWorkDir
{
    explicit ScopedWorkDir(const std::string& dir) { std::filesystem::current_path(dir); }
    ~ScopedWorkDir() { std::filesystem::current_path(old, ignored); }
    std::filesystem::path old = std::filesystem::current_path();
    std::error_code ignored;
};

inline bool WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    return static_cast<bool>(out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
inline bool WriteFileText(const std::string& path, const std::string& text)
{
    return WriteFileBytes(path, {text.begin(), text.end()});
}
inline std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
inline Bytes ReadFileBytes(const std::string& path)
{
    const std::string text = ReadFileText(path);
    return {text.begin(), text.end()};
}

// Sends the debug and log files to fresh files in a temporary folder for its lifetime.
struct LogCapture
{
    LogCapture()
    {
        CloseLogFiles();
        OpenLogFiles(dir.File("debug.txt").c_str(), dir.File("log.txt").c_str());
    }
    ~LogCapture() { CloseLogFiles(); }
    std::string Debug() const { return ReadFileText(dir.File("debug.txt")); } // all written so far
    std::string LogText() const { return ReadFileText(dir.File("log.txt")); }
    TempDir dir;
};

// The folder of the real pak0.pk3 (KEL_OA_BASE, else where test.sh unpacks it), or "".
inline std::string RealDataFolder()
{
    const char* env = getenv("KEL_OA_BASE");
    const std::string folder =
        env && *env ? env : KEL_SOURCE_DIR "/data/openarena/usr/share/games/openarena/baseoa";
    return std::filesystem::is_regular_file(folder + "/pak0.pk3") ? folder : "";
}
