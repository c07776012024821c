// The text drawn over the view: frame rate, camera position, the player's statistics and the
// two model lists with the current entries marked (and, with the game look, failed ones). Each
// part is a text block: what did not change since the last frame is not laid out again, and
// each block is drawn with one call. Nothing here allocates once the blocks have their size.
#include "viewer/viewerapp.h"

#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "platform/clock.h"
#include "platform/escape.h"
#include "platform/gamelook.h"
#include "text/font.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
const float WHITE[3] = {1.0f, 1.0f, 1.0f}, GREEN[3] = {0.0f, 1.0f, 0.0f}, GREY[3] = {0.7f, 0.7f, 0.7f},
            RED[3] = {1.0f, 0.4f, 0.4f};

void SetColor(cFont& font, const float color[3]) { std::copy(color, color + 3, font.color); }

// With the game look a failed entry says so in the list and, unless current, is red.
bool Marked(cRessource& entry, bool failed) { return gGameLook && failed && !entry.IsLoaded(); }

// The current entry green, one that is not loaded grey, the others white.
const float* EntryColor(cRessource& entry, bool current, bool failed)
{
    return current ? GREEN : Marked(entry, failed) ? RED : !entry.IsLoaded() ? GREY : WHITE;
}

const char* const FAILED_MARK = " (failed)";

// A name read from an archive as shown on screen: control characters escaped as in the console
// and the debug file (a long name is cut, never inside an escape); in a list, with the failed
// mark after it. The lists drawn and ListLine both take their text from here.
struct sShownName
{
    explicit sShownName(const std::string& name, bool marked = false)
    {
        size_t length = EscapeControls(text, sizeof text - strlen(FAILED_MARK), name.c_str());
        strcpy(text + length, marked ? FAILED_MARK : "");
    }
    char text[EscapedSize(255) + 16];
};

// Why an entry failed, or a general word when its loader left none.
const char* Reason(const std::string& error) { return error.empty() ? "not loaded" : error.c_str(); }

// Two lines, the entry and why, when the load of the current entry failed (game look).
template <class T> void PrintFailure(cFont& font, T* current, const std::vector<bool>& failed, int index)
{
    if (gGameLook && current && failed[index] && !current->IsLoaded())
        font.Print("%s failed:\n  %s\n", sShownName(current->name).text, Reason(current->loadError));
}

template <class T>
void PrintList(cFont& font, const std::vector<std::unique_ptr<T>>& list, const std::vector<bool>& failed,
               int current)
{
    for (size_t i = 0; i < list.size(); ++i)
    {
        cRessource& entry = *list[i];
        SetColor(font, EntryColor(entry, static_cast<int>(i) == current, failed[i]));
        font.Print("%s\n", sShownName(entry.name, Marked(entry, failed[i])).text);
    }
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
    // A screenshot holds the drawn models alone: no overlay text, no console.
    TakePendingScreenshot();
    glCullFace(GL_BACK);
    frameRate.Count(timeGetTime());

    cFont& pen = Font();
    overlayText.rate.Begin(pen);
    pen.PrintAt(0, 0, "FPS: %d", frameRate.perSecond);
    pen.PrintAt(100, 0, "cam2d: %.2f %.2f %.2f", camera.x, camera.y, camera.z);
    overlayText.rate.End(pen);
    statusLine.Draw(pen, settings.width, settings.height, timeGetTime());
    DrawViewNotes();

    cModelQ3* player = CurrentModel();
    if (!player)
        return;
    SetColor(pen, WHITE);
    if (!showText)
        return;
    DrawStatistics(pen, *player);
    DrawModelLists(pen);
    SetColor(pen, WHITE);
}

// The player's statistics at (700, 20), and under them what failed to load.
void ViewerApp::DrawStatistics(cFont& pen, cModelQ3& player)
{
    overlayText.stats.Begin(pen);
    pen.cursorY = 20;
    if (player.IsLoaded() && !SoloRoot())
        player.DrawStats(pen, 700, 20);
    pen.cursorX = 700;
    SetColor(pen, RED);
    PrintFailure(pen, &player, playerFailed, currentPlayer);
    PrintFailure(pen, CurrentWeapon(), weaponFailed, currentWeapon);
    SetColor(pen, WHITE);
    overlayText.stats.End(pen);
}

// Both lists with their headings from (0, 30); an empty line under each heading and two between
// the lists.
void ViewerApp::DrawModelLists(cFont& pen)
{
    overlayText.lists.Begin(pen);
    const int line = pen.glyphHeight + pen.lineGap;
    pen.cursorX = 0;
    pen.cursorY = 30;
    pen.Print("Models : next[+] prev[-]\n");
    pen.cursorY += line;
    PrintList(pen, players, playerFailed, currentPlayer);

    pen.cursorY += 2 * line;
    SetColor(pen, WHITE);
    pen.Print("Weapons : next[*] prev[/] toggle[<]\n");
    pen.cursorY += line;
    PrintList(pen, weapons, weaponFailed, currentWeapon);
    SetColor(pen, WHITE);
    overlayText.lists.End(pen);
}

sListLine ViewerApp::ListLine(cRessource& entry, bool current, bool failed) const
{
    sListLine line{sShownName(entry.name, Marked(entry, failed)).text, {}};
    const float* color = EntryColor(entry, current, failed);
    std::copy(color, color + 3, line.color);
    return line;
}

std::vector<std::string> ViewerApp::FailureLines()
{
    std::vector<std::string> lines;
    cModelQ3* player = CurrentModel();
    cWeaponQ3* weapon = CurrentWeapon();
    if (gGameLook && player && playerFailed[currentPlayer] && !player->IsLoaded())
        lines.insert(lines.end(), {sShownName(player->name).text + std::string(" failed:"),
                                   std::string("  ") + Reason(player->loadError)});
    if (gGameLook && weapon && weaponFailed[currentWeapon] && !weapon->IsLoaded())
        lines.insert(lines.end(), {sShownName(weapon->name).text + std::string(" failed:"),
                                   std::string("  ") + Reason(weapon->loadError)});
    return lines;
}
