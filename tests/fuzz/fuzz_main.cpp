// The entry of one fuzz target, which the build names in FUZZ_TARGET, and, for builds without
// libFuzzer, a main that hands it every file of the folders named on the command line once.
#include "fuzzsupport.h"

#include "support/testutil.h"

#include <algorithm>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RunFuzzTarget(FUZZ_TARGET, data, size);
    return 0;
}

#ifndef KEL_LIBFUZZER
int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> files; // resolved first: the targets change the working folder
    for (int i = 1; i < argc; i++)
        for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
            files.push_back(std::filesystem::absolute(entry.path()));
    std::sort(files.begin(), files.end());
    for (const auto& file : files)
    {
        const std::vector<unsigned char> bytes = ReadFileBytes(file);
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    printf("replay: %zu inputs\n", files.size());
    return files.empty();
}
#endif
