// Giving back a model's vertex frames while it is not drawn, and reading them again from its
// file when it is: the frames are most of a player's memory.
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "model/md3.h"
#include "platform/log.h"

#include <new>
#include <vector>

void cMd3::ReleaseFrames()
{
    if (!IsLoaded() || framesReleased)
        return;
    for (sMd3Surface& surface : surfaces)
    {
        std::vector<int16_t>().swap(surface.xyz.coords);
        std::vector<uint16_t>().swap(surface.normals.codes);
    }
    framesReleased = true;
}

// The whole file is read again with every check; only its frames are kept, and only when its
// layout is the one loaded before.
bool cMd3::RestoreFrames()
{
    if (!framesReleased)
        return true;
    if (framesLost)
        return false;
    try
    {
        cMd3 copy;
        bool same;
        {
            memfile_t file;
            same = file.open(name.c_str(), "rb") && copy.LoadFromFile(file) && copy.numFrames == numFrames &&
                   copy.numSurfaces == numSurfaces;
        }
        gFileMgr.Release(name.c_str());
        for (uint32_t s = 0; same && s < numSurfaces; s++)
            same = copy.surfaces[s].numVerts == surfaces[s].numVerts;
        if (!same)
        {
            framesLost = true;
            return DebugLog("cMd3:: %s : can`t read the vertex frames again", name.c_str());
        }
        for (uint32_t s = 0; s < numSurfaces; s++)
        {
            surfaces[s].xyz.coords.swap(copy.surfaces[s].xyz.coords);
            surfaces[s].normals.codes.swap(copy.surfaces[s].normals.codes);
        }
        framesReleased = false;
        return true;
    }
    catch (const std::bad_alloc&)
    {
        return DebugLog("cMd3:: %s : out of memory", name.c_str());
    }
}
