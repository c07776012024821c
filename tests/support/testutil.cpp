// Test helpers: temporary folders, files and log capture.
#include "support/testutil.h"

#include "platform/log.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

TempDir::TempDir()
{
    char templ[] = "/tmp/keltest.XXXXXX";
    if (mkdtemp(templ))
        path = templ;
}

TempDir::~TempDir()
{
    if (!path.empty())
    {
        std::string cmd = "rm -rf '" + path + "'";
        if (system(cmd.c_str()) != 0)
            fprintf(stderr, "could not remove %s\n", path.c_str());
    }
}

ScopedWorkDir::ScopedWorkDir(const std::string& dir)
{
    char buf[4096];
    if (getcwd(buf, sizeof buf))
        old = buf;
    if (chdir(dir.c_str()) != 0)
        fprintf(stderr, "could not enter %s\n", dir.c_str());
}

ScopedWorkDir::~ScopedWorkDir()
{
    if (!old.empty() && chdir(old.c_str()) != 0)
        fprintf(stderr, "could not return to %s\n", old.c_str());
}

bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

bool WriteFileText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

LogCapture::LogCapture()
{
    CloseLogFiles();
    OpenLogFiles(dir.File("debug.txt").c_str(), dir.File("log.txt").c_str());
}

LogCapture::~LogCapture() { CloseLogFiles(); }

std::string LogCapture::Debug() const { return ReadFileText(dir.File("debug.txt")); }

std::string LogCapture::LogText() const { return ReadFileText(dir.File("log.txt")); }

std::string RealDataFolder()
{
    const char* env = getenv("KEL_OA_BASE");
    std::string folder = env && *env ? env : "";
    if (folder.empty())
    {
        // Fall back on the folder the test script unpacks the archive into.
        folder = std::string(KEL_SOURCE_DIR) + "/data/openarena/usr/share/games/openarena/baseoa";
    }
    std::ifstream probe(folder + "/pak0.pk3");
    return probe ? folder : "";
}
