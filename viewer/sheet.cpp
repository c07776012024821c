// The contact sheet: every player in each of its skins and every weapon on its own, each drawn
// framed into a cell of the back buffer, read back and put into one grid picture with its
// label under it. Entries that do not load get an empty cell that says why.
#include "viewer/viewerapp.h"

#include "model/md3.h"
#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "platform/escape.h"
#include "platform/log.h"
#include "text/font.h"
#include "viewer/camera.h"
#include "viewer/framing.h"
#include "viewer/screenshot.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
const int CELL_WIDTH = 160, CELL_HEIGHT = 200, LABEL_HEIGHT = 20, SHEET_COLUMNS = 8;
// Glyph cell of the labels: smaller than the overlay's, so that a name of 22 letters fits.
const int LABEL_GLYPH = 11;
const float BACKGROUND[3] = {0.16f, 0.17f, 0.2f};

std::string ShortName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Characters of a label line that fit in a cell.
int LineChars(const cFont& font)
{
    return std::max(1, static_cast<int>(CELL_WIDTH / (font.glyphWidth * 0.6667f)) - 1);
}

// Draws root framed in the model area of the cell at the bottom left of the back buffer.
void DrawModel(cMd3* root, float fov, float nearPlane, float farPlane)
{
    const float aspect = static_cast<float>(CELL_WIDTH) / (CELL_HEIGHT - LABEL_HEIGHT);
    glViewport(0, LABEL_HEIGHT, CELL_WIDTH, CELL_HEIGHT - LABEL_HEIGHT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fov, aspect, nearPlane, farPlane);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const sBounds box = ModelBounds(root);
    if (!box.valid)
        return;
    Camera camera;
    camera.SetMode(CAMERA_EXAMINE);
    float position[3];
    FrameBox(box, fov, aspect, VIEWER_FRAME_SHARE, position);
    camera.x = position[0];
    camera.y = position[1];
    camera.z = position[2];
    camera.ApplyObjectView();
    DrawUpright(root);
}

// The label centred under the cell, and for an entry that failed the reason over its cell. Both
// come from the archives: their control characters are shown escaped, as in the overlay, rather
// than moving the pen.
void DrawLabel(cFont& font, const std::string& label, const std::string& error)
{
    glViewport(0, 0, CELL_WIDTH, CELL_HEIGHT);
    glDisable(GL_DEPTH_TEST);
    const size_t chars = static_cast<size_t>(LineChars(font));
    const std::string shown = EscapedLine(label, chars);
    const int advance = static_cast<int>(font.glyphWidth * 0.6667f);
    font.color[0] = font.color[1] = font.color[2] = error.empty() ? 1.0f : 0.7f;
    font.PrintAt((CELL_WIDTH - static_cast<int>(shown.size()) * advance) / 2, CELL_HEIGHT - LABEL_HEIGHT + 4,
                 "%s", shown.c_str());
    if (!error.empty())
    {
        font.color[0] = 1.0f;
        font.color[1] = font.color[2] = 0.4f;
        const std::string text = "not loaded: " + EscapedLine(error, std::string::npos);
        int y = 60;
        for (size_t at = 0; at < text.size() && y < CELL_HEIGHT - LABEL_HEIGHT - 12; at += chars, y += 14)
            font.PrintAt(4, y, "%s", text.substr(at, chars).c_str());
    }
    font.color[0] = font.color[1] = font.color[2] = 1.0f;
    glEnable(GL_DEPTH_TEST);
}
} // namespace

bool ViewerApp::WriteContactSheet(const std::string& file)
{
    if (settings.width < CELL_WIDTH || settings.height < CELL_HEIGHT)
    {
        fprintf(stderr, "viewer: the window must be at least %dx%d for the sheet\n", CELL_WIDTH, CELL_HEIGHT);
        return false;
    }
    // Players in every skin, without a weapon in the hand; then each weapon without its flash.
    struct sCell
    {
        std::string label, error;
        int player = -1, weapon = -1;
        uint32_t skin = 0;
    };
    std::vector<sCell> cells;
    if (gunOn)
        ToggleGun();
    gunOn = false;
    // A muzzle flash would cover much of a weapon's small cell.
    flash.Set(0);
    ApplyFlash();
    for (size_t p = 0; p < players.size(); p++)
    {
        SelectModel(static_cast<int>(p));
        cModelQ3& player = *players[p];
        const std::string name = ShortName(player.name);
        if (!player.IsLoaded())
            cells.push_back({name, player.loadError.empty() ? "not loaded" : player.loadError, -1, -1, 0});
        for (uint32_t s = 0; player.IsLoaded() && s < player.skinCount; s++)
            cells.push_back({name + "/" + player.skinNames[s], "", static_cast<int>(p), -1, s});
    }
    for (size_t w = 0; w < weapons.size(); w++)
    {
        SelectWeapon(static_cast<int>(w));
        cWeaponQ3& weapon = *weapons[w];
        const std::string error = weapon.loadError.empty() ? "not loaded" : weapon.loadError;
        cells.push_back({ShortName(weapon.name), weapon.IsLoaded() ? "" : error, -1, static_cast<int>(w), 0});
    }
    if (cells.empty())
    {
        fprintf(stderr, "viewer: the game holds no player and no weapon\n");
        return false;
    }

    const int columns = std::min(SHEET_COLUMNS, static_cast<int>(cells.size()));
    const int rows = (static_cast<int>(cells.size()) + columns - 1) / columns;
    const size_t sheetStride = static_cast<size_t>(columns) * CELL_WIDTH * 3;
    std::vector<unsigned char> sheet(sheetStride * rows * CELL_HEIGHT);
    std::vector<unsigned char> cell(static_cast<size_t>(CELL_WIDTH) * CELL_HEIGHT * 3);
    cFont& pen = Font();
    const int glyph[2] = {pen.glyphWidth, pen.glyphHeight};
    pen.glyphWidth = pen.glyphHeight = LABEL_GLYPH;
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, CELL_WIDTH, CELL_HEIGHT);
    glClearColor(BACKGROUND[0], BACKGROUND[1], BACKGROUND[2], 1.0f);
    for (size_t i = 0; i < cells.size(); i++)
    {
        const sCell& c = cells[i];
        glDepthMask(GL_TRUE);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        cMd3* root = nullptr;
        if (c.player >= 0)
        {
            players[c.player]->SelectSkin(c.skin);
            root = players[c.player]->lower;
        }
        else if (c.weapon >= 0 && weapons[c.weapon]->IsLoaded())
            root = weapons[c.weapon]->main;
        if (root)
            DrawModel(root, settings.fov.Float(), settings.near.Float(), settings.far.Float());
        DrawLabel(pen, c.label, c.error);
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, CELL_WIDTH, CELL_HEIGHT, GL_RGB, GL_UNSIGNED_BYTE, cell.data());
        // Sheet rows run bottom first like the cells, with the first row of cells at the top.
        const int column = static_cast<int>(i) % columns, row = rows - 1 - static_cast<int>(i) / columns;
        for (int y = 0; y < CELL_HEIGHT; y++)
            memcpy(
                &sheet[(static_cast<size_t>(row) * CELL_HEIGHT + y) * sheetStride + column * CELL_WIDTH * 3],
                &cell[static_cast<size_t>(y) * CELL_WIDTH * 3], CELL_WIDTH * 3);
    }
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 0);
    pen.glyphWidth = glyph[0];
    pen.glyphHeight = glyph[1];
    // Empty grid places at the end stay in the background colour.
    for (size_t i = cells.size(); i < static_cast<size_t>(rows * columns); i++)
    {
        const int column = static_cast<int>(i) % columns;
        for (int y = 0; y < CELL_HEIGHT; y++)
            for (int x = 0; x < CELL_WIDTH; x++)
                for (int k = 0; k < 3; k++)
                    sheet[static_cast<size_t>(y) * sheetStride + (column * CELL_WIDTH + x) * 3 + k] =
                        static_cast<unsigned char>(BACKGROUND[k] * 255 + 0.5f);
    }
    std::string error;
    if (!WritePng(file, columns * CELL_WIDTH, rows * CELL_HEIGHT, sheet.data(), &error))
    {
        fprintf(stderr, "viewer: can't write %s: %s\n", file.c_str(), error.c_str());
        return DebugLog("ViewerApp:: can`t write contact sheet %s : %s", file.c_str(), error.c_str());
    }
    Log("ViewerApp:: contact sheet of %zu entries written to %s", cells.size(), file.c_str());
    printf("viewer: %zu entries written to %s\n", cells.size(), file.c_str());
    return true;
}
