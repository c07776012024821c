// One model on its own: any .md3 of the archives or the folder (--model, the model command) or
// the current weapon alone (--player none), drawn upright and framed; the archive paths the
// model command completes; the overlay's lines about the view.
#include "viewer/viewerapp.h"

#include "console/console.h"
#include "fs/filemgr.h"
#include "fs/zipfile.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/ressmgr.h"
#include "model/weaponq3.h"
#include "platform/log.h"
#include "text/font.h"
#include "viewer/framing.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <strings.h>

namespace
{
bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Whether typed begins path as the console can type it: letters in any case, and "-" for "_"
// (the console types no shifted characters). With whole, typed must be all of path.
bool TypedAs(const char* typed, const std::string& path, bool whole)
{
    size_t i = 0;
    for (; typed[i]; i++)
    {
        if (i >= path.size())
            return false;
        const int t = tolower(static_cast<unsigned char>(typed[i]));
        const int p = tolower(static_cast<unsigned char>(path[i]));
        if (t != p && !(t == '-' && p == '_'))
            return false;
    }
    return !whole || i == path.size();
}

int CountTris(const cMd3& model)
{
    int tris = 0;
    for (const sMd3Surface& s : model.surfaces)
        tris += static_cast<int>(s.numIndices / 3);
    return tris;
}

int CountVerts(const cMd3& model)
{
    int verts = 0;
    for (const sMd3Surface& s : model.surfaces)
        verts += static_cast<int>(s.numVerts);
    return verts;
}
} // namespace

bool ViewerApp::ShowModel(const std::string& path)
{
    if (path.empty())
    {
        const bool wasSolo = solo || weaponOnly;
        LeaveSolo();
        if (wasSolo)
            FrameView();
        return true;
    }
    std::string error;
    cMd3* model = gRessMgr.Load(path.c_str(), &error);
    if (!model)
    {
        gConsole.Print("model %s : %s", path.c_str(), error.c_str());
        return false;
    }
    LeaveSolo();
    solo = model;
    soloPath = path;
    Log("ViewerApp:: showing %s", path.c_str());
    FrameView();
    return true;
}

void ViewerApp::LeaveSolo()
{
    if (solo)
        gRessMgr.Release(solo);
    solo = nullptr;
    soloPath.clear();
    weaponOnly = false;
}

cMd3* ViewerApp::SoloRoot()
{
    if (solo)
        return solo;
    cWeaponQ3* weapon = weaponOnly ? CurrentWeapon() : nullptr;
    return weapon && weapon->IsLoaded() ? weapon->main : nullptr;
}

bool ViewerApp::ShowsSomething()
{
    cModelQ3* player = CurrentModel();
    return SoloRoot() || (!weaponOnly && player && player->IsLoaded());
}

bool ViewerApp::RenderSolo()
{
    if (!solo && !weaponOnly)
        return false;
    cMd3* root = SoloRoot();
    if (!root)
        return true;
    DrawUpright(root);
    return true;
}

void ViewerApp::DrawViewNotes()
{
    cFont& pen = Font();
    if (cMd3* root = SoloRoot())
    {
        // A long path moves left rather than run off the window.
        const int pathWidth = static_cast<int>(soloPath.size()) * (pen.glyphWidth * 2 / 3);
        if (showText)
            pen.PrintAt(std::max(0, std::min(700, settings.width - 10 - pathWidth)), 20,
                        "%s\nsurfaces : %u\nframes   : %u\ntags     : %u\ntris : %d | verts : %d",
                        solo ? soloPath.c_str() : CurrentWeapon()->name.c_str(), root->numSurfaces,
                        root->numFrames, root->numTags, CountTris(*root), CountVerts(*root));
        return;
    }
    cModelQ3* player = CurrentModel();
    if (weaponOnly || !player || !player->IsLoaded() || !player->IsPaused())
        return;
    const sAnimState& l = player->lowerState;
    const sAnimState& u = player->upperState;
    const auto last = [](const sAnimState& s) { return s.animation ? s.animation->endFrame - 1 : 0u; };
    const auto first = [](const sAnimState& s) { return s.animation ? s.animation->firstFrame : 0u; };
    pen.PrintAt(420, 0, "PAUSED  lower %u (%u-%u)  upper %u (%u-%u)", l.currentFrame, first(l), last(l),
                u.currentFrame, first(u), last(u));
}

// Every .md3 member of the mounted archives, each path once, sorted ignoring case.
std::vector<std::string> ArchiveModelPaths()
{
    std::vector<std::string> paths;
    for (const auto& zip : gFileMgr.Zips())
        for (const ZipEntry& e : zip->Entries())
            if (e.name.size() > 4 && strcasecmp(e.name.c_str() + e.name.size() - 4, ".md3") == 0)
                paths.push_back(e.name);
    std::sort(paths.begin(), paths.end(), LessIgnoringCase);
    paths.erase(std::unique(paths.begin(), paths.end(), SameIgnoringCase), paths.end());
    return paths;
}

// The model command's completion: archive paths that begin with what was typed.
void ViewerApp::CompleteModelPath(const char* typed, size_t limit, std::vector<std::string>& out) const
{
    for (const std::string& path : modelPaths)
    {
        if (out.size() >= limit)
            return;
        if (TypedAs(typed, path, false))
            out.push_back("model " + path);
    }
}

std::string ViewerApp::TypedModelPath(const std::string& typed) const
{
    for (const std::string& path : modelPaths)
        if (TypedAs(typed.c_str(), path, true))
            return path;
    return typed;
}
