// The text drawn over the view: frame rate, camera position, the player's statistics and the
// two model lists with the current entries marked.
#include "viewer/viewerapp.h"

#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "platform/clock.h"
#include "text/font.h"

#include <GL/gl.h>

namespace
{
void SetColor(cFont& font, float r, float g, float b)
{
    font.color[0] = r;
    font.color[1] = g;
    font.color[2] = b;
}

// One list entry: the current one green, one that is not loaded grey, the others white.
void PrintEntry(cFont& font, cRessource& entry, bool current)
{
    if (current)
        SetColor(font, 0.0f, 1.0f, 0.0f);
    else if (!entry.IsLoaded())
        SetColor(font, 0.7f, 0.7f, 0.7f);
    else
        SetColor(font, 1.0f, 1.0f, 1.0f);
    font.Print("%s\n", entry.name.c_str());
}
} // namespace

void sFrameRate::Count(uint32_t nowMs)
{
    ++frames;
    uint32_t elapsed = nowMs - lastUpdate;
    if (elapsed > 1000)
    {
        perSecond = static_cast<int>(static_cast<int64_t>(frames) * 1000 / elapsed);
        frames = 0;
        lastUpdate = nowMs;
    }
}

void ViewerApp::Render2D()
{
    glCullFace(GL_BACK);
    frameRate.Count(timeGetTime());

    cFont& font = Font();
    font.PrintAt(0, 0, "FPS: %d", frameRate.perSecond);
    font.PrintAt(100, 0, "cam2d: %.2f %.2f %.2f", camera.x, camera.y, camera.z);

    cModelQ3* player = CurrentModel();
    if (!player)
        return;
    SetColor(font, 1.0f, 1.0f, 1.0f);
    if (!showText)
        return;
    if (player->IsLoaded())
        player->DrawStats(font, 700, 20);

    const int line = font.glyphHeight + font.lineGap;
    font.cursorX = 0;
    font.cursorY = 30;
    font.Print("Models : next[+] prev[-]\n");
    font.cursorY += line;
    for (size_t i = 0; i < players.size(); ++i)
        PrintEntry(font, *players[i], static_cast<int>(i) == currentPlayer);

    font.cursorY += 2 * line;
    SetColor(font, 1.0f, 1.0f, 1.0f);
    font.Print("Weapons : next[*] prev[/] toggle[<]\n");
    font.cursorY += line;
    for (size_t i = 0; i < weapons.size(); ++i)
        PrintEntry(font, *weapons[i], static_cast<int>(i) == currentWeapon);
    SetColor(font, 1.0f, 1.0f, 1.0f);
}
