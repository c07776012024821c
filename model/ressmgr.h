// The model cache: every MD3 file is read once and shared by reference count.
#pragma once

#include "fs/mgrbase.h"

#include <map>
#include <string>

class cMd3;

class CRessMgr : public MgrBase
{
  public:
    ~CRessMgr() override;

    // The model cached under exactly this path, or a newly loaded one, with one more
    // reference; null when the file cannot be opened or parsed.
    cMd3* Load(const char* path);
    // The same; when it answers null and error is given, error says why in a few words, naming
    // the file without its folder ("no head.md3 in any archive", "head.md3: wrong md3 version").
    cMd3* Load(const char* path, std::string* error);
    // Gives one reference back; the last one destroys the model. Unknown pointers are ignored.
    // Answers whether the model is still cached afterwards.
    bool Release(cMd3* model);
    // Destroys the model cached under name, whatever its count.
    void Remove(const char* name);

    // Destroys every cached model (tests start from an empty cache).
    void Reset();

    const std::map<std::string, cMd3*>& Cache() const { return cache; }

  private:
    void Destroy(std::map<std::string, cMd3*>::iterator it);

    std::map<std::string, cMd3*> cache; // owning
};

extern CRessMgr gRessMgr;
