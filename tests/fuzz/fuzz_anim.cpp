// A player's animation.cfg on arbitrary bytes: a player loaded once from good parts reads the
// file afresh, then every animation is started, stepped through time and drawn.
#include "fs/memfile.h"
#include "fuzzsupport.h"
#include "model/modelq3.h"

#include <cstdint>
#include <cstdlib>

namespace
{
cModelQ3* LoadPlayer()
{
    for (const auto& part : FuzzPlayerParts("p"))
        FuzzWriteFile(part.first, part.second.data(), part.second.size());
    FuzzResetManagers();
    cModelQ3* player = new cModelQ3;
    if (!player->Load("p"))
        abort(); // the parts are good
    return player;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static cModelQ3* player = LoadPlayer();
    for (sAnimation& a : player->animations)
        a = sAnimation();
    player->lowerState = player->upperState = sAnimState();
    memfile_t file(data, static_cast<uint32_t>(size), "p/animation.cfg", false);
    player->LoadAnimations(file);

    cCountingDrawer drawer;
    SetModelDrawer(&drawer);
    const float times[] = {0.0f, 0.01f, 0.05f, 0.5f, 3.0f, 1e6f};
    for (int anim = 0; anim < MODEL_NUM_ANIMS; anim++)
    {
        player->SetAnimation(anim);
        for (float t : times)
        {
            player->UpdateAnimations(t);
            cModelQ3::RenderTree(player->lower);
        }
    }
    player->NextBothAnim();
    player->PrevTorsoAnim();
    player->NextLegsAnim();
    player->ChangeSpeed(-1000.0f);
    player->UpdateAnimations(2e6f);
    cModelQ3::RenderTree(player->lower);
    SetModelDrawer(nullptr);
    return 0;
}
