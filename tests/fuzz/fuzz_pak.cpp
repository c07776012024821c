// The pak reader on an arbitrary archive: open, read every record by index and by name, and
// read every member through the file manager.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/pakfile.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzResetManagers();
    if (!FuzzWriteFile("fuzz.pak", data, size))
        return 0;
    pakfile pak;
    if (pak.open("fuzz.pak"))
    {
        for (size_t i = 0; i < pak.Entries().size(); i++)
        {
            const PakEntry& entry = pak.Entries()[i];
            // Room only for records that fit the input; others must fail without writing.
            if (entry.length < 0 || static_cast<size_t>(entry.length) > size)
                continue;
            std::unique_ptr<unsigned char[]> dest(new (std::nothrow) unsigned char[entry.length + 1u]);
            if (!dest)
                continue;
            pak.read(static_cast<int>(i), dest.get());
            // Reading by name fills the first record of the name: only this buffer's if it is that.
            std::string name(entry.name, strnlen(entry.name, PAK_NAME_SIZE));
            int32_t length = 0;
            if (pak.Find(name.c_str()) == static_cast<int>(i))
                pak.read(name.c_str(), dest.get(), &length);
        }
    }
    if (gFileMgr.MountPak("fuzz.pak"))
    {
        std::vector<std::string> names;
        for (const PakEntry& entry : gFileMgr.Paks()[0]->Entries())
            names.emplace_back(entry.name, strnlen(entry.name, PAK_NAME_SIZE));
        for (const std::string& name : names)
            memfile_t file(name.c_str(), "rb");
    }
    gFileMgr.Reset();
    return 0;
}
