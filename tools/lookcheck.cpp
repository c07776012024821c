// The look check: the real viewer, in-process with the shipped settings (every archive, game
// look), draws every player in every skin and every weapon; each frame is read back and the
// share of model pixels that are pure white (a surface without an image) reported, with what the
// data names for such surfaces; muzzle flashes must only add light, and sarge's first death must
// end lying down. Usage (under a display; scripts/look-check.sh uses xvfb-run):
//   lookcheck [game folder, default /usr/share/games/openarena/baseoa] [folder for PPM frames]
#include "console/console.h"
#include "model/drawer.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "platform/clock.h"
#include "shader/shadermgr.h"
#include "shader/tess.h"
#include "viewer/viewerapp.h"
#include "tools/notingdrawer.h"
#include "tools/toolconfig.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
const int WIDTH = 640, HEIGHT = 480;
// A clear colour that no texture of the game is likely to give exactly, and a second one to
// tell a flash that adds light to the background from one that covers it.
const unsigned char CLEAR[3] = {12, 34, 56};
const unsigned char CLEAR2[3] = {40, 10, 70};
// Items whose pixels are at most this share pure white count as textured.
const double WHITE_LIMIT = 0.05;

struct sFrame
{
    std::vector<unsigned char> rgb = std::vector<unsigned char>(WIDTH * HEIGHT * 3);
    const unsigned char* At(int i) const { return &rgb[i * 3]; }
    bool IsClear(int i) const { return At(i)[0] == CLEAR[0] && At(i)[1] == CLEAR[1] && At(i)[2] == CLEAR[2]; }
    bool IsWhite(int i) const { return At(i)[0] == 255 && At(i)[1] == 255 && At(i)[2] == 255; }
    bool IsBlack(int i) const { return At(i)[0] == 0 && At(i)[1] == 0 && At(i)[2] == 0; }
};

// Model pixels and the share of them that are pure white.
struct sWhite
{
    int pixels = 0;
    double share = 0;
};

sWhite MeasureWhite(const sFrame& f)
{
    sWhite w;
    int white = 0;
    for (int i = 0; i < WIDTH * HEIGHT; i++)
        if (!f.IsClear(i))
        {
            w.pixels++;
            white += f.IsWhite(i);
        }
    w.share = w.pixels ? static_cast<double>(white) / w.pixels : 0;
    return w;
}

// Rows between the highest and the lowest model pixel.
int FigureHeight(const sFrame& f)
{
    int top = -1, bottom = -1;
    for (int i = 0; i < WIDTH * HEIGHT; i++)
        if (!f.IsClear(i))
        {
            const int row = i / WIDTH;
            top = top < 0 ? row : std::min(top, row);
            bottom = std::max(bottom, row);
        }
    return top < 0 ? 0 : bottom - top + 1;
}

class cLookCheck
{
  public:
    cLookCheck(ViewerApp& app, cNotingDrawer& noting, const char* shots)
        : viewer(app), drawer(noting), shotDir(shots)
    {
    }

    // Draws the current player, or the weapon alone when one is given, and reads the frame.
    void Draw(sFrame& frame, cWeaponQ3* weapon = nullptr, const unsigned char* clear = CLEAR)
    {
        glDepthMask(GL_TRUE);
        glClearColor(clear[0] / 255.0f, clear[1] / 255.0f, clear[2] / 255.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        viewer.Update(0.0f, 1.0f);
        if (!weapon)
            viewer.Render();
        else if (weapon->main)
        {
            // The weapon lies along its x axis; stood on its z axis like a player, seen from the side.
            gTess.Reset();
            glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
            cModelQ3::RenderTree(weapon->main);
            if (gTess.pending != TESS_EMPTY)
                gTess.Flush();
        }
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, WIDTH, HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    }

    void Save(const sFrame& frame, const std::string& item)
    {
        if (!shotDir)
            return;
        std::string name = item;
        for (char& c : name)
            c = c == '/' || c == ' ' ? '_' : c;
        FILE* f = fopen((std::string(shotDir) + "/" + name + ".ppm").c_str(), "wb");
        if (!f)
            return;
        fprintf(f, "P6\n%d %d\n255\n", WIDTH, HEIGHT);
        for (int row = HEIGHT - 1; row >= 0; row--)
            fwrite(&frame.rgb[row * WIDTH * 3], 1, WIDTH * 3, f);
        fclose(f);
    }

    // What the drawer noted for the last frame, one surface a line.
    std::string Notes() const
    {
        std::string text;
        for (const std::string& note : drawer.notes)
            text += "\n      " + note;
        return text;
    }

    // One item's line; an item over the white limit is an exception with its reasons.
    void Report(const std::string& item, const sWhite& w, const std::string& extra = "")
    {
        const bool textured = w.pixels > 0 && w.share < WHITE_LIMIT;
        items++;
        texturedItems += textured;
        printf("%-58s %7d px  white %5.1f %%  %s%s\n", item.c_str(), w.pixels, 100.0 * w.share,
               textured   ? "textured"
               : w.pixels ? "EXCEPTION"
                          : "EMPTY",
               extra.c_str());
        if (!textured)
        {
            const std::string why = Notes();
            exceptions.push_back(
                item + (why.empty()
                            ? ": every surface drawn has its image; the white is in the images themselves"
                            : why));
        }
    }

    void Players()
    {
        printf("== players, every skin, weapon off\n");
        if (viewer.gunOn)
            viewer.ToggleGun();
        for (size_t p = 0; p < viewer.players.size(); p++)
        {
            viewer.SelectModel(static_cast<int>(p));
            cModelQ3* player = viewer.CurrentModel();
            if (!player->IsLoaded())
            {
                printf("%-58s not loaded: %s\n", player->name.c_str(), player->loadError.c_str());
                notLoaded++;
                continue;
            }
            for (uint32_t s = 0; s < player->skinCount; s++)
            {
                player->SelectSkin(s);
                drawer.notes.clear();
                sFrame frame;
                Draw(frame);
                const std::string item =
                    player->name + " skin " + std::to_string(s + 1) + " " + player->skinNames[s];
                Save(frame, item);
                Report(item, MeasureWhite(frame));
            }
            player->SelectSkin(0);
        }
    }

    // Each weapon alone, with the flash and without: the flash must only brighten.
    void Weapons()
    {
        printf("== weapons, alone, flash 0 (white share) against flash 1\n");
        for (size_t w = 0; w < viewer.weapons.size(); w++)
        {
            viewer.SelectWeapon(static_cast<int>(w));
            cWeaponQ3* weapon = viewer.CurrentWeapon();
            if (!weapon->IsLoaded())
            {
                printf("%-58s not loaded: %s\n", weapon->name.c_str(), weapon->loadError.c_str());
                notLoaded++;
                continue;
            }
            sFrame plain, lit, lit2;
            gConsole.Execute("flash 0");
            drawer.notes.clear();
            Draw(plain, weapon);
            const std::set<std::string> notes = drawer.notes;
            gConsole.Execute("flash 1");
            drawer.notes.clear();
            Draw(lit, weapon);
            Draw(lit2, weapon, CLEAR2);
            Save(lit, weapon->name);
            std::string extra = "  no flash";
            if (weapon->flash)
            {
                // Flash pixels: where the frame with the flash differs. Over the background a
                // flash that adds light changes with the background; one that covers it does
                // not (unless it saturates to white).
                int changed = 0, darker = 0, white = 0, black = 0, covering = 0;
                for (int i = 0; i < WIDTH * HEIGHT; i++)
                {
                    const unsigned char* a = plain.At(i);
                    const unsigned char* b = lit.At(i);
                    if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2])
                        continue;
                    changed++;
                    darker += b[0] + 1 < a[0] || b[1] + 1 < a[1] || b[2] + 1 < a[2];
                    white += lit.IsWhite(i);
                    black += lit.IsBlack(i);
                    const unsigned char* c = lit2.At(i);
                    covering +=
                        plain.IsClear(i) && !lit.IsWhite(i) && b[0] == c[0] && b[1] == c[1] && b[2] == c[2];
                }
                const bool adds =
                    changed > 0 && darker == 0 && black == 0 && covering == 0 && 2 * white < changed;
                flashes++;
                flashesAdding += adds;
                char text[200];
                snprintf(text, sizeof text,
                         "  flash %d px: darker %d, covering %d, black %d, white %.0f %%: %s", changed,
                         darker, covering, black, changed ? 100.0 * white / changed : 0.0,
                         adds      ? "adds light"
                         : changed ? "DOES NOT ONLY ADD LIGHT"
                                   : "NOT DRAWN");
                extra = text;
                if (!adds)
                {
                    flashFailures.push_back(weapon->name + Notes());
                }
            }
            drawer.notes = notes;
            Report(weapon->name, MeasureWhite(plain), extra);
        }
    }

    // Sarge plays his first death at the fixed clock and is measured after its end and a
    // second later.
    bool Death()
    {
        printf("== death animation\n");
        int index = -1;
        for (size_t p = 0; p < viewer.players.size(); p++)
            if (viewer.players[p]->name == "models/players/sarge")
                index = static_cast<int>(p);
        if (index < 0)
            return printf("no models/players/sarge\n"), false;
        viewer.SelectModel(index);
        cModelQ3* sarge = viewer.CurrentModel();
        if (!sarge->IsLoaded())
            return printf("sarge does not load\n"), false;
        sFrame frame;
        Draw(frame);
        const int standing = FigureHeight(frame);
        sarge->SetAnimation(ANIM_BOTH_DEATH1);
        const sAnimation& death = sarge->animations[ANIM_BOTH_DEATH1];
        const double length = (death.endFrame - death.firstFrame) / std::max(1.0f, death.fps);
        auto play = [&](double seconds)
        {
            for (double t = 0; t < seconds; t += 0.02)
            {
                now += 0.02;
                SetFakeClock(now);
                Draw(frame);
            }
        };
        play(length + 0.5);
        const int ended = FigureHeight(frame);
        Save(frame, "sarge death ended");
        play(1.0);
        const int later = FigureHeight(frame);
        const bool lying = ended < standing / 2 && std::abs(later - ended) <= 1;
        printf("sarge BOTH_DEATH1 (%u frames, %.2f s): height standing %d px, after the end %d px, a second "
               "later %d px: %s\n",
               death.endFrame - death.firstFrame, length, standing, ended, later,
               lying ? "lies down and stays" : "DOES NOT STAY LYING");
        return lying;
    }

    void Summary(bool death) const
    {
        printf("== summary\n");
        printf("items textured (under %.0f %% white) / items: %d / %d\n", 100 * WHITE_LIMIT, texturedItems,
               items);
        printf("entries that do not load: %d\n", notLoaded);
        printf("muzzle flashes that only add light (never darker, never covering the background, never\n"
               "black, less than half of them pure white) / flashes: %d / %d\n",
               flashesAdding, flashes);
        printf("death animation ends lying down and stays: %s\n", death ? "yes" : "NO");
        printf("exceptions:\n");
        for (const std::string& e : exceptions)
            printf("  %s\n", e.c_str());
        for (const std::string& e : flashFailures)
            printf("  flash of %s\n", e.c_str());
    }

    double now = 100.0;

  private:
    ViewerApp& viewer;
    cNotingDrawer& drawer;
    const char* shotDir;
    int items = 0, texturedItems = 0, notLoaded = 0, flashes = 0, flashesAdding = 0;
    std::vector<std::string> exceptions, flashFailures;
};
} // namespace

int main(int argc, char** argv)
{
    const std::string game = argc > 1 ? argv[1] : "/usr/share/games/openarena/baseoa";
    const char* shots = argc > 2 ? argv[2] : nullptr;
    const size_t slash = game.find_last_of('/');
    char dir[] = "/tmp/kel-lookcheck.XXXXXX";
    if (slash == std::string::npos || !mkdtemp(dir) || chdir(dir) != 0)
        return fprintf(stderr, "lookcheck: cannot make a working folder\n"), 2;
    if (!WriteToolConfig(game, WIDTH, HEIGHT, "debugfile = debug.txt\nlogfile = log.txt\n"))
        return 2;

    // Time stands still unless the check moves it, so that frames compare exactly.
    SetFakeClock(100.0);
    static ViewerApp viewer;
    if (!viewer.Init("app.cfg") || viewer.players.empty())
        return fprintf(stderr, "lookcheck: the viewer did not start on %s (see %s/debug.txt)\n", game.c_str(),
                       dir),
               2;
    // The frame loop would set the projection on the window's first resize event.
    viewer.Resize(WIDTH, HEIGHT);
    // Unlit, a surface without an image shows pure white.
    gTess.lighting = false;
    cNotingDrawer noting(ModelDrawer());
    SetModelDrawer(&noting);
    viewer.camera.x = 0;
    viewer.camera.y = 0;
    viewer.camera.z = 70;

    cLookCheck check(viewer, noting, shots);
    printf("game folder %s: %zu players, %zu weapons, every archive, game look\n", game.c_str(),
           viewer.players.size(), viewer.weapons.size());
    check.Players();
    viewer.camera.z = 40;
    check.Weapons();
    viewer.camera.z = 70;
    const bool death = check.Death();
    check.Summary(death);

    SetModelDrawer(nullptr);
    viewer.ClearModels();
    viewer.Shutdown();
    return death ? 0 : 1;
}
