// A player's animation.cfg on arbitrary bytes: the player is loaded with good parts and the
// file, then every animation is started, stepped through time and drawn.
#include "fs/memfile.h"
#include "fuzzsupport.h"
#include "model/modelq3.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static bool partsWritten = false;
    if (!partsWritten)
    {
        for (const auto& part : FuzzPlayerParts("p"))
            FuzzWriteFile(part.first, part.second.data(), part.second.size());
        partsWritten = true;
    }
    FuzzResetManagers();
    FuzzWriteFile("p/animation.cfg", data, size);

    cCountingDrawer drawer;
    SetModelDrawer(&drawer);
    {
        cModelQ3 player;
        if (!player.Load("p"))
            abort(); // the parts are good, only the animations may be bad
        const float times[] = {0.0f, 0.01f, 0.05f, 0.5f, 3.0f, 1e6f};
        for (int anim = 0; anim < MODEL_NUM_ANIMS; anim++)
        {
            player.SetAnimation(anim);
            for (float t : times)
            {
                player.UpdateAnimations(t);
                cModelQ3::RenderTree(player.lower);
            }
        }
        player.NextBothAnim();
        player.PrevTorsoAnim();
        player.NextLegsAnim();
        player.ChangeSpeed(-1000.0f);
        player.UpdateAnimations(2e6f);
        cModelQ3::RenderTree(player.lower);
    }
    SetModelDrawer(nullptr);
    return 0;
}
