// A weapon model: the main part with its barrel and muzzle flash hung on its tags.
#pragma once

#include "model/ressource.h"

#include <string>

class cMd3;

class cWeaponQ3 : public cRessource
{
  public:
    ~cWeaponQ3() override;

    bool IsLoaded() override { return main != nullptr; }
    // Loads folder/<short name>.md3 and, where present, its _barrel and _flash parts.
    bool Load(const char* folder) override;
    void Unload() override;

    cMd3* main = nullptr;
    cMd3* barrel = nullptr;
    cMd3* flash = nullptr;
    // Why the last Load failed, in a few words ("no gun.md3 in any archive"); empty after a
    // successful one. A missing barrel or flash is no failure.
    std::string loadError;
};
