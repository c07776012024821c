// Model drawers for tests that record what would be drawn: every surface with its shader name
// and the transform it was drawn under.
#pragma once

#include "model/drawer.h"
#include "model/md3.h"
#include "platform/gamelook.h"

#include <array>
#include <set>
#include <string>
#include <vector>

struct RecordingDrawer : public cModelDrawer
{
    typedef std::array<float, 16> Matrix;
    struct Draw
    {
        const sMd3Surface* surface;
        std::string shader;
        Matrix transform;
    };

    ~RecordingDrawer() override { SetModelDrawer(nullptr); }
    void Install() { SetModelDrawer(this); }
    void DrawSurface(const sMd3Surface& surface, const char* shaderName, const float*, const float*) override
    {
        draws.push_back({&surface, shaderName, stack.back()});
    }
    void PushTransform(const float m[16]) override
    {
        Matrix r{}; // element (row i / 4 % 4, column i / 16) sums over k = i % 4
        for (int i = 0; i < 64; i++)
            r[i / 16 * 4 + i / 4 % 4] += stack.back()[i % 4 * 4 + i / 4 % 4] * m[i / 16 * 4 + i % 4];
        stack.push_back(r);
        pushes++;
    }
    void PopTransform() override
    {
        if (stack.size() > 1)
            stack.pop_back();
    }
    // Where the point p of a drawn surface lands under its transform.
    static std::array<float, 3> Apply(const Matrix& m, const float p[3])
    {
        std::array<float, 3> out;
        for (int row = 0; row < 3; row++)
            out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
        return out;
    }

    std::vector<Draw> draws;
    std::vector<Matrix> stack{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
    int pushes = 0;
};

// A recording drawer that knows only the shader names in known, as a library holding just those.
struct KnownShadersDrawer : public RecordingDrawer
{
    bool ShaderExists(const char* name) override { return known.count(name) != 0; }
    // The drawn surfaces as "surface=shader" joined by blanks.
    std::string Drawn() const
    {
        std::string out;
        for (const Draw& d : draws)
            out += (out.empty() ? "" : " ") + std::string(d.surface->name) + "=" + d.shader;
        return out;
    }
    std::set<std::string> known;
};

// Sets the game-look switch for a scope and puts the old value back.
struct ScopedGameLook
{
    explicit ScopedGameLook(bool on) { gGameLook = on; }
    ~ScopedGameLook() { gGameLook = old; }
    bool old = gGameLook;
};
