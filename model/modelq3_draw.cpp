// Player drawing: the tag tree with interpolated tags, and the statistics block.
#include "model/drawer.h"
#include "model/modelq3.h"
#include "platform/clock.h"
#include "platform/escape.h"
#include "platform/gamelook.h"
#include "text/font.h"

#include <cstdio>

namespace
{
// Links form a tree; the limit only guards against a model linked below itself.
const int MODEL_MAX_TREE_DEPTH = 32;
// Characters of one line of a long skin list: what fits right of the block's start in a
// window 1024 pixels wide.
const int MODEL_STATS_LINE_CHARS = 32;
// Room for a skin name with every character escaped; longer names (the player's) are cut.
const size_t MODEL_SHOWN_SIZE = EscapedSize(MODEL_NAME_SIZE);

// A name from the archive as the screen shows it: control characters escaped.
const char* Shown(const char* name, char (&buffer)[MODEL_SHOWN_SIZE])
{
    EscapeControls(buffer, sizeof buffer, name);
    return buffer;
}

void RenderTreeAt(cMd3* model, int depth)
{
    if (!model || depth > MODEL_MAX_TREE_DEPTH)
        return;
    uint32_t c = 0, n = 0;
    float f = 1.0f;
    if (model->animState)
    {
        c = model->animState->currentFrame;
        n = model->animState->nextFrame;
        f = model->animState->fraction;
    }
    model->Render(c, n, f);
    if (model->frames.empty())
        return;
    // Frames past the end show the last one, as the surfaces do.
    const uint32_t last = model->numFrames - 1;
    const sMd3Frame& frameA = model->frames[c < last ? c : last];
    const sMd3Frame& frameB = model->frames[n < last ? n : last];
    cModelDrawer& drawer = ModelDrawer();
    for (uint32_t t = 0; t < model->numTags && t < model->links.size(); t++)
    {
        if (!model->links[t])
            continue;
        const sMd3Tag& a = frameA.tags[t];
        const sMd3Tag& b = frameB.tags[t];
        float q[4], origin[3], m[16];
        Slerp(a.rotation, b.rotation, f, q);
        for (int k = 0; k < 3; k++)
            origin[k] = (1 - f) * a.origin[k] + f * b.origin[k];
        TagMatrix(q, origin, m);
        drawer.PushTransform(m);
        RenderTreeAt(model->links[t], depth + 1);
        drawer.PopTransform();
    }
}

int CountTris(const cMd3* part)
{
    int tris = 0;
    if (part)
        for (const sMd3Surface& s : part->surfaces)
            tris += static_cast<int>(s.numIndices / 3);
    return tris;
}

int CountVerts(const cMd3* part)
{
    int verts = 0;
    if (part)
        for (const sMd3Surface& s : part->surfaces)
            verts += static_cast<int>(s.numVerts);
    return verts;
}

void SetColor(cFont& font, float r, float g, float b)
{
    font.color[0] = r;
    font.color[1] = g;
    font.color[2] = b;
}

void PrintPart(cFont& font, const cMd3* part, const char* title, const char* tagsEnd)
{
    font.Print("%s", title);
    font.Print("numMeshes : %d\n", part ? static_cast<int>(part->numSurfaces) : 0);
    font.Print("numFrames : %d\n", part ? static_cast<int>(part->numFrames) : 0);
    font.Print("numTags   : %d\n%s", part ? static_cast<int>(part->numTags) : 0, tagsEnd);
}

void PrintFrame(cFont& font, const char* title, const sAnimState& state, const char* end)
{
    const sAnimation* a = state.animation;
    font.Print("%s Frame %d/%d FPS %d\n%s", title, static_cast<int>(state.currentFrame),
               a ? static_cast<int>(a->endFrame) : 0, a ? static_cast<int>(a->fps) : 0, end);
}
} // namespace

void cModelQ3::RenderTree(cMd3* model) { RenderTreeAt(model, 0); }

void cModelQ3::Render()
{
    if (!IsLoaded())
        return;
    // The game look counts from the load, where a float still tells milliseconds apart.
    const uint32_t ms = timeGetTime();
    Advance(gGameLook ? static_cast<float>((ms - clockOrigin) * 0.001) : static_cast<float>(ms * 0.001));
    // Models stand on their z axis; turn them upright for the view.
    static const float upright[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};
    cModelDrawer& drawer = ModelDrawer();
    drawer.PushTransform(upright);
    RenderTree(lower);
    drawer.PopTransform();
}

void cModelQ3::DrawStats(cFont& font, int x, int y)
{
    for (int k = 0; k < 3; k++)
        font.savedColor[k] = font.color[k];
    font.cursorX = x;
    font.cursorY = y;
    SetColor(font, 0, 1, 0);
    char shown[MODEL_SHOWN_SIZE];
    font.Print("%s Stats\n", Shown(name.c_str(), shown));
    SetColor(font, 1, 1, 1);
    PrintPart(font, lower, "LOWER\n", "");
    PrintPart(font, upper, "UPPER :\n", "");
    PrintPart(font, head, "HEAD :\n", "\n");
    font.Print("NumTris : % d | NumVerts : %d \n\n", CountTris(lower) + CountTris(upper) + CountTris(head),
               CountVerts(lower) + CountVerts(upper) + CountVerts(head));
    font.Print("Skins :  [press # for skin]\n");
    if (gGameLook && skinCount > MODEL_MAX_SKINS)
        PrintSkinList(font, x);
    else
        for (uint32_t i = 0; i < skinCount && i < MODEL_MAX_SKINS; i++)
        {
            if (i == currentSkin)
                SetColor(font, 0, 1, 0);
            else
                SetColor(font, 1, 1, 1);
            font.Print("#%d  : %s\n", static_cast<int>(i + 1), Shown(skinNames[i], shown));
            SetColor(font, 1, 1, 1);
        }
    font.cursorY += 2 * (font.lineGap + font.glyphHeight);
    font.Print("Anims : Faster[.]  Slower[,]\n\n");
    font.Print("BOTH  [DEL|INS  ] -> %s\n", MODEL_ANIM_NAMES[bothAnim]);
    font.Print("UPPER [HOME|END ] -> %s\n", MODEL_ANIM_NAMES[torsoAnim]);
    font.Print("LOWER [PGUP|DOWN] -> %s\n\n", MODEL_ANIM_NAMES[legsAnim]);
    PrintFrame(font, "Lower", lowerState, "");
    PrintFrame(font, "Upper", upperState, "\n");
    for (int k = 0; k < 3; k++)
        font.color[k] = font.savedColor[k];
}

// A long skin list, several skins to a line, wrapped before a line gets too wide; the current
// skin in green.
void cModelQ3::PrintSkinList(cFont& font, int x) const
{
    const int lineHeight = font.lineGap + font.glyphHeight;
    int used = 0;
    for (uint32_t i = 0; i < skinCount && i < MODEL_MAX_LISTED_SKINS; i++)
    {
        char entry[MODEL_SHOWN_SIZE + 16], shown[MODEL_SHOWN_SIZE];
        const int len =
            snprintf(entry, sizeof entry, "#%d %s", static_cast<int>(i + 1), Shown(skinNames[i], shown));
        if (used > 0 && used + 2 + len > MODEL_STATS_LINE_CHARS)
        {
            font.cursorX = x;
            font.cursorY += lineHeight;
            used = 0;
        }
        else if (used > 0)
        {
            font.Print("  ");
            used += 2;
        }
        SetColor(font, i == currentSkin ? 0 : 1, 1, i == currentSkin ? 0 : 1);
        font.Print("%s", entry);
        used += len;
    }
    SetColor(font, 1, 1, 1);
    font.cursorX = x;
    font.cursorY += lineHeight;
}
