// Small helpers shared by the tests: temporary folders, files, and capture of the log files.
#pragma once

#include <string>
#include <vector>

// A fresh folder under /tmp, removed with its contents on destruction.
class TempDir
{
  public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }

  private:
    std::string path;
};

// Runs the test body inside a temporary working folder and returns to the old one afterwards.
class ScopedWorkDir
{
  public:
    explicit ScopedWorkDir(const std::string& dir);
    ~ScopedWorkDir();

  private:
    std::string old;
};

bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);
bool WriteFileText(const std::string& path, const std::string& text);
std::string ReadFileText(const std::string& path);
std::vector<unsigned char> ReadFileBytes(const std::string& path);

// Redirects the debug and log files to fresh files in a temporary folder for its lifetime.
class LogCapture
{
  public:
    LogCapture();
    ~LogCapture();
    std::string Debug() const; // everything written to the debug file so far
    std::string LogText() const;

  private:
    TempDir dir;
};

// The folder that holds the real archive pak0.pk3, or "" when it is not there.
std::string RealDataFolder();
