// Runs a fuzz target over saved inputs without libFuzzer: every file named on the command line,
// and every file inside each folder named, is read and handed to the target once.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace
{
int RunFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly the input's size, so a read past its end is caught like under libFuzzer.
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes.size() ? bytes.size() : 1]);
    std::copy(bytes.begin(), bytes.end(), copy.get());
    LLVMFuzzerTestOneInput(copy.get(), bytes.size());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    // Every path is resolved before the first input runs: targets may change the working folder.
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; i++)
    {
        std::filesystem::path arg = std::filesystem::absolute(argv[i]);
        if (std::filesystem::is_directory(arg))
        {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        }
        else
            files.push_back(arg);
    }
    std::sort(files.begin(), files.end());
    int failures = 0, runs = 0;
    for (const auto& file : files)
    {
        failures += RunFile(file);
        runs++;
    }
    printf("replay: %d inputs, %d unreadable\n", runs, failures);
    return failures || runs == 0 ? 1 : 0;
}
