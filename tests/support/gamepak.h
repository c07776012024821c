// Game archives for the viewer's tests: player and weapon folders whose models are boxes of one
// solid colour each, with tags, animation.cfg, skins and textures, so that a screenshot tells
// which model and skin are drawn.
#pragma once

#include "support/zipbuilder.h"

#include <string>
#include <utility>
#include <vector>

struct sGameColor
{
    unsigned char r, g, b;
};

// An 8 x 8 uncompressed 24-bit TGA of one colour.
std::vector<unsigned char> SolidTga(sGameColor c);

// models/players/<name>/: lower, upper and head boxes joined at tag_torso and tag_head, a
// tag_weapon on the upper part, animation.cfg, the default skin files and one set of skin files
// (with its own texture) per extra skin.
void AddGamePlayer(ZipBuilder& zip, const std::string& name, sGameColor color,
                   const std::vector<std::pair<std::string, sGameColor>>& extraSkins = {});

// models/weapons2/<name>/: a long box with a barrel and a muzzle flash on its tags.
void AddGameWeapon(ZipBuilder& zip, const std::string& name, sGameColor color);

// The archive of the end-to-end tests: a file and a folder of textures only before two
// players (alpha blue with a second skin "red" in orange, beta magenta through a script
// shader), two weapons (gunA cyan, gunB yellow) and scripts/models.shader.
std::vector<unsigned char> BuildGamePak();

// A player as AddGamePlayer makes it (red), then built to cost memory if sizes were trusted: its
// texture a JPEG claiming 65500 x 65500, or its lower.md3 one whose surfaces share a vertex
// block (SharedBlockMd3), or one whose surface has 3,000 vertices.
enum eCostlyPlayer
{
    COSTLY_HUGE_JPEG,
    COSTLY_SHARED_BLOCK,
    COSTLY_MANY_VERTICES
};
void AddCostlyPlayer(ZipBuilder& zip, const std::string& name, eCostlyPlayer kind);
// A progressive JPEG of 8 x 8 pixels whose header claims w x h.
std::vector<unsigned char> ClaimingJpegFile(unsigned w, unsigned h);
// Three frames, tag_torso, three surfaces whose vertices all point at the last one's block.
std::vector<unsigned char> SharedBlockMd3(const std::string& shader);
