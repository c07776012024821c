// The text drawn over the view: frame rate, camera position, the player's statistics and the
// two model lists with the current entries marked (and, with the game look, failed ones).
#include "viewer/viewerapp.h"

#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "platform/clock.h"
#include "platform/gamelook.h"
#include "text/font.h"

#include <GL/gl.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{
void SetColor(cFont& font, float r, float g, float b)
{
    font.color[0] = r;
    font.color[1] = g;
    font.color[2] = b;
}

void SetColor(cFont& font, const float color[3]) { SetColor(font, color[0], color[1], color[2]); }

void PrintLine(cFont& font, const sListLine& line)
{
    SetColor(font, line.color);
    font.Print("%s\n", line.text.c_str());
}

// Why an entry failed, or a general word when its loader left none.
std::string Reason(const std::string& error) { return error.empty() ? "not loaded" : error; }
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
    // A screenshot holds the drawn models alone: no overlay text, no console.
    TakePendingScreenshot();
    glCullFace(GL_BACK);
    frameRate.Count(timeGetTime());

    cFont& font = Font();
    font.PrintAt(0, 0, "FPS: %d", frameRate.perSecond);
    font.PrintAt(100, 0, "cam2d: %.2f %.2f %.2f", camera.x, camera.y, camera.z);
    statusLine.Draw(font, settings.width, settings.height, timeGetTime());
    DrawViewNotes();

    cModelQ3* player = CurrentModel();
    if (!player)
        return;
    SetColor(font, 1.0f, 1.0f, 1.0f);
    if (!showText)
        return;
    font.cursorY = 20;
    if (player->IsLoaded() && !SoloRoot())
        player->DrawStats(font, 700, 20);
    const std::vector<std::string> failures = FailureLines();
    font.cursorX = 700;
    SetColor(font, 1.0f, 0.4f, 0.4f);
    for (const std::string& text : failures)
        font.Print("%s\n", text.c_str());
    SetColor(font, 1.0f, 1.0f, 1.0f);

    const int line = font.glyphHeight + font.lineGap;
    font.cursorX = 0;
    font.cursorY = 30;
    font.Print("Models : next[+] prev[-]\n");
    font.cursorY += line;
    for (size_t i = 0; i < players.size(); ++i)
        PrintLine(font, ListLine(*players[i], static_cast<int>(i) == currentPlayer, playerFailed[i]));

    font.cursorY += 2 * line;
    SetColor(font, 1.0f, 1.0f, 1.0f);
    font.Print("Weapons : next[*] prev[/] toggle[<]\n");
    font.cursorY += line;
    for (size_t i = 0; i < weapons.size(); ++i)
        PrintLine(font, ListLine(*weapons[i], static_cast<int>(i) == currentWeapon, weaponFailed[i]));
    SetColor(font, 1.0f, 1.0f, 1.0f);
}

// The current entry green, one that is not loaded grey, the others white; with the game look a
// failed entry is marked and, unless current, red.
sListLine ViewerApp::ListLine(cRessource& entry, bool current, bool failed) const
{
    sListLine line{entry.name, {1.0f, 1.0f, 1.0f}};
    const bool marked = gGameLook && failed && !entry.IsLoaded();
    if (marked)
        line.text += " (failed)";
    const float green[3] = {0.0f, 1.0f, 0.0f}, grey[3] = {0.7f, 0.7f, 0.7f}, red[3] = {1.0f, 0.4f, 0.4f};
    const float* color = current ? green : marked ? red : !entry.IsLoaded() ? grey : line.color;
    std::copy(color, color + 3, line.color);
    return line;
}

std::vector<std::string> ViewerApp::FailureLines()
{
    std::vector<std::string> lines;
    if (!gGameLook)
        return lines;
    cModelQ3* player = CurrentModel();
    if (player && playerFailed[currentPlayer] && !player->IsLoaded())
        lines.insert(lines.end(), {player->name + " failed:", "  " + Reason(player->loadError)});
    cWeaponQ3* weapon = CurrentWeapon();
    if (weapon && weaponFailed[currentWeapon] && !weapon->IsLoaded())
        lines.insert(lines.end(), {weapon->name + " failed:", "  " + Reason(weapon->loadError)});
    return lines;
}
