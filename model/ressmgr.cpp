// The model cache keyed by the exact path text.
#include "model/ressmgr.h"

#include "platform/escape.h"
#include "platform/log.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "model/md3.h"

#include <cstring>
#include <memory>
#include <new>

CRessMgr gRessMgr;

namespace
{
// A reason this short fits the string's own buffer: setting it cannot run out in turn.
cMd3* OutOfMemory(const char* path, std::string* error)
{
    if (error)
        *error = MD3_OUT_OF_MEMORY;
    DebugLog("CRessMgr:: %s : out of memory", path);
    return nullptr;
}
} // namespace

CRessMgr::~CRessMgr() { Reset(); }

cMd3* CRessMgr::Load(const char* path) { return Load(path, nullptr); }

// A failed load caches nothing, so a later request tries the file again (it may be in an
// archive mounted since). Running out of memory anywhere in it fails this one load: the new
// model is freed on the way out and never reaches the cache.
cMd3* CRessMgr::Load(const char* path, std::string* error)
try
{
    if (!path)
        return nullptr;
    auto it = cache.find(path);
    if (it != cache.end())
    {
        it->second->refCount++;
        return it->second;
    }
    std::unique_ptr<cMd3> model(new cMd3);
    bool found, loaded;
    {
        memfile_t file;
        found = file.open(path, "rb");
        loaded = found && model->LoadFromFile(file);
    }
    gFileMgr.Release(path); // the model keeps what it needs of the file
    if (!loaded && model->loadError == MD3_OUT_OF_MEMORY)
        return OutOfMemory(path, error);
    if (!loaded)
    {
        if (error)
        {
            const char* slash = strrchr(path, '/');
            const std::string file = slash ? slash + 1 : path;
            const std::string reason =
                found ? file + ": " + model->loadError : "no " + file + " in any archive";
            // The reason is shown on screen and names parts of the archive: control characters
            // in it are escaped.
            error->assign(EscapedSize(reason.size()), 0);
            error->resize(EscapeControls(&(*error)[0], error->size(), reason.c_str()));
        }
        DebugLog("CRessMgr:: %s ressource loading failed!", path);
        return nullptr;
    }
    model->name = path;
    model->refCount = 1;
    cache.emplace(path, model.get());
    return model.release();
}
catch (const std::bad_alloc&)
{
    return OutOfMemory(path, error);
}

// The cache is keyed by path, so the holder's pointer is found by walking it.
bool CRessMgr::Release(cMd3* model)
{
    for (auto it = cache.begin(); it != cache.end(); ++it)
    {
        if (it->second != model)
            continue;
        if (--model->refCount >= 1)
            return true;
        Destroy(it);
        return false;
    }
    return false;
}

void CRessMgr::Remove(const char* name)
{
    if (!name)
        return;
    auto it = cache.find(name);
    if (it != cache.end())
        Destroy(it);
}

void CRessMgr::Destroy(std::map<std::string, cMd3*>::iterator it)
{
    cMd3* model = it->second;
    cache.erase(it);
    // Other cached models may still link to this one at a tag; they must not keep a
    // dangling child.
    for (auto& entry : cache)
        for (cMd3*& link : entry.second->links)
            if (link == model)
                link = nullptr;
    delete model;
}

void CRessMgr::Reset()
{
    for (auto& entry : cache)
        delete entry.second;
    cache.clear();
}
