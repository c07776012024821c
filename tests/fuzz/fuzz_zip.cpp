// The zip reader on an arbitrary archive: open, list every folder, read every member directly
// and through the file manager as the program reads it.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "fs/zipfile.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <memory>
#include <new>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzResetManagers();
    if (!FuzzWriteFile("fuzz.pk3", data, size))
        return 0;
    for (bool skipEmpty : {true, false})
    {
        cZipFile zip;
        if (!zip.open("fuzz.pk3", skipEmpty))
            continue;
        std::vector<std::string> names;
        zip.list("*.*", names);
        for (const ZipEntry& entry : zip.Entries())
        {
            names.clear();
            zip.list((ZipDirPart(entry.name) + "*.*").c_str(), names);
            zip.list((ZipDirPart(entry.name) + "*." + ZipExtension(entry.name)).c_str(), names);
            zip.Find(entry.name.c_str());
        }
        for (int i = 0; i < zip.numEntries(); i++)
        {
            // The caller allocates what the directory claims; the reader must fill no more.
            std::unique_ptr<unsigned char[]> dest(
                new (std::nothrow) unsigned char[zip.Entries()[i].size + 1]);
            if (dest)
                zip.read(i, dest.get());
        }
    }
    if (gFileMgr.MountZip("fuzz.pk3"))
    {
        std::vector<std::string> names;
        for (const ZipEntry& entry : gFileMgr.Zips()[0]->Entries())
            names.push_back(entry.name);
        for (const std::string& name : names)
        {
            memfile_t file(name.c_str(), "rb");
            char line[MEMFILE_MAX_LINE + 1];
            while (file.ReadLine(line, MEMFILE_MAX_LINE))
            {
            }
        }
    }
    gFileMgr.Reset();
    return 0;
}
