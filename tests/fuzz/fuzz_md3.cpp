// The MD3 loader on arbitrary bytes, then every frame drawn into the counting drawer, with a
// second copy of the model hung on each of its tags so the tag transforms are used too.
#include "fs/memfile.h"
#include "fuzzsupport.h"
#include "model/md3.h"
#include "model/modelq3.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    cMd3 model, child;
    memfile_t file(data, static_cast<uint32_t>(size), "models/fuzz.md3", false);
    if (!model.LoadFromFile(file))
    {
        if (model.IsLoaded() || !model.surfaces.empty() || !model.frames.empty())
            abort();
        return 0;
    }
    child.LoadFromBuffer(data, static_cast<uint32_t>(size), "models/child.md3");
    for (const sMd3Tag& tag : model.frames.empty() ? std::vector<sMd3Tag>() : model.frames[0].tags)
        model.AttachToTag(tag.name, &child);

    cCountingDrawer drawer;
    SetModelDrawer(&drawer);
    sAnimState state;
    model.animState = &state;
    // Frames past the end must show the last frame, not read past it.
    const uint32_t frames = model.numFrames < 64 ? model.numFrames + 1 : 64;
    for (uint32_t f = 0; f < frames; f++)
    {
        model.Render(f, f + 1, 0.5f);
        state.currentFrame = f;
        state.nextFrame = f + 1;
        state.fraction = 0.25f;
        cModelQ3::RenderTree(&model);
    }
    model.skinIndex = MD3_MAX_SHADER_SLOTS - 1;
    model.Render(0, 0, 0);
    SetModelDrawer(nullptr);
    if (drawer.depth != 0)
        abort();
    return 0;
}
