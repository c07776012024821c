// Common base of everything the model cache and the viewer hold: a reference count and a name.
#pragma once

#include <string>

class cRessource
{
  public:
    cRessource() {}
    cRessource(const cRessource&) = delete;
    cRessource& operator=(const cRessource&) = delete;

    virtual bool IsLoaded() = 0;
    // Loading by path; the base knows no way and answers false.
    virtual bool Load(const char* path)
    {
        (void)path;
        return false;
    }
    virtual void Unload() = 0;
    virtual ~cRessource() {}

    int refCount = 0;
    // For a cached model its path (the cache key); for players and weapons their folder.
    std::string name;
};
