// Settings files and the line reader every text format shares, on arbitrary bytes.
#include "platform/configfile.h"
#include "fs/memfile.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Every line consumes at least one byte, so a reader that returns more lines than that hangs.
    for (int limit : {MEMFILE_MAX_LINE, 7, 0})
    {
        memfile_t file(data, static_cast<uint32_t>(size), "fuzz.cfg", false);
        char line[MEMFILE_MAX_LINE + 1];
        size_t lines = 0;
        while (file.ReadLine(line, limit))
            if (strlen(line) > static_cast<size_t>(limit) || ++lines > size + 1)
                abort();
    }
    for (char separator : {'=', ' '})
    {
        memfile_t file(data, static_cast<uint32_t>(size), "fuzz.cfg", false);
        ConfigFile config;
        config.Load(file, separator);
        for (const KeyValue& pair : config.Entries())
            if (config.Find(pair.key.c_str()) == nullptr)
                abort();
        config.GetInt("width", 0);
    }
    return 0;
}
