// Geometry that follows the camera, without a GL context: quads turned to face it and
// reflection coordinates.
#include "shader/viewgeom.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
// A column-major modelview: rotation by degrees about the y axis, uniform scale, then a move.
std::vector<float> View(float degrees, float scale, float x, float y, float z)
{
    const float a = degrees * static_cast<float>(M_PI) / 180.0f, c = std::cos(a) * scale,
                s = std::sin(a) * scale;
    return {c, 0, -s, 0, 0, scale, 0, 0, s, 0, c, 0, x, y, z, 1};
}

// A point or direction (w 0) in eye space.
std::vector<double> Eye(const std::vector<float>& m, const float* p, double w = 1.0)
{
    std::vector<double> e(3);
    for (int row = 0; row < 3; row++)
        e[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row] * w;
    return e;
}

// z of the eye-space normal of triangle a, b, c: positive when its front faces the eye.
double FrontTowardsEye(const std::vector<float>& m, const float* a, const float* b, const float* c)
{
    std::vector<double> ea = Eye(m, a), eb = Eye(m, b), ec = Eye(m, c);
    return (eb[0] - ea[0]) * (ec[1] - ea[1]) - (eb[1] - ea[1]) * (ec[0] - ea[0]);
}

const uint32_t QUAD_INDEXES[6] = {0, 1, 2, 2, 1, 3};
} // namespace

TEST(ViewGeometry, QuadsTurnToTheCamera)
{
    struct sCase
    {
        const char* what;
        bool alongAxis;
        std::vector<float> view;
        float corners[4][3]; // corners 0 1 2 3; triangles 0 1 2 and 2 1 3
    };
    // A flat quad seen edge-on from the camera (its front faces up), and a long thin one.
    const sCase cases[] = {
        {"square, edge-on", false, View(0, 1, 0, 0, 0), {{-1, 0, -9}, {1, 0, -9}, {-1, 0, -11}, {1, 0, -11}}},
        {"square, turned view",
         false,
         View(70, 2, 1, -3, -40),
         {{4, 2, 0}, {6, 2, 0}, {4, 2, -2}, {6, 2, -2}}},
        {"beam, edge-on",
         true,
         View(0, 1, 0, 0, 0),
         {{-2, 0, -9.5f}, {2, 0, -9.5f}, {-2, 0, -10.5f}, {2, 0, -10.5f}}},
        {"beam, turned view",
         true,
         View(-35, 0.5f, 2, 1, -30),
         {{0, 3, 0}, {8, 3, 0}, {0, 3, -2}, {8, 3, -2}}},
    };
    for (const sCase& c : cases)
    {
        float xyz[4][4];
        for (int k = 0; k < 4; k++)
            memcpy(xyz[k], c.corners[k], sizeof c.corners[k]);
        TurnQuadsToCamera(c.view.data(), c.alongAxis, 4, xyz, 6, QUAD_INDEXES);

        // The centre stays; both triangles now show their front to the eye.
        for (int j = 0; j < 3; j++)
        {
            double before = 0, after = 0;
            for (int k = 0; k < 4; k++)
                before += c.corners[k][j] / 4.0, after += xyz[k][j] / 4.0;
            EXPECT_NEAR(after, before, 1e-4) << c.what;
        }
        EXPECT_GT(FrontTowardsEye(c.view, xyz[0], xyz[1], xyz[2]), 0.0) << c.what;
        EXPECT_GT(FrontTowardsEye(c.view, xyz[2], xyz[1], xyz[3]), 0.0) << c.what;
        if (!c.alongAxis)
        {
            // Flat on the screen: one eye depth, sides along the screen axes, the square of
            // the 2 x 2 quad 2 x 2 in model units.
            std::vector<double> e[4];
            for (int k = 0; k < 4; k++)
                e[k] = Eye(c.view, xyz[k]);
            const double scale = std::hypot(c.view[0], c.view[2]);
            for (int k = 1; k < 4; k++)
                EXPECT_NEAR(e[k][2], e[0][2], 1e-3) << c.what;
            EXPECT_NEAR(std::fabs(e[1][0] - e[0][0]) + std::fabs(e[1][1] - e[0][1]), 2 * scale, 1e-3)
                << c.what;
            EXPECT_NEAR(std::hypot(e[3][0] - e[0][0], e[3][1] - e[0][1]), 2 * scale * std::sqrt(2.0), 1e-3)
                << c.what;
            continue;
        }
        // The long side keeps its place along x; the short side now lies across the line of
        // sight, so the quad's normal points at the viewer as far as turning about x allows.
        for (int k = 0; k < 4; k++)
            EXPECT_NEAR(xyz[k][0], c.corners[k][0], 1e-4) << c.what;
        const float side[3] = {xyz[2][0] - xyz[0][0], xyz[2][1] - xyz[0][1], xyz[2][2] - xyz[0][2]};
        EXPECT_NEAR(std::sqrt(side[0] * side[0] + side[1] * side[1] + side[2] * side[2]),
                    c.corners[0][2] - c.corners[2][2], 1e-4)
            << c.what;
        float middle[3] = {0, 0, 0};
        for (int k = 0; k < 4; k++)
            for (int j = 0; j < 3; j++)
                middle[j] += xyz[k][j] / 4;
        const std::vector<double> sideEye = Eye(c.view, side, 0.0), sight = Eye(c.view, middle);
        EXPECT_NEAR(sideEye[0] * sight[0] + sideEye[1] * sight[1] + sideEye[2] * sight[2], 0.0, 1e-3)
            << c.what;
    }

    // Vertices past the last whole quad, quads no triangle lies in, and a flat view stay.
    float xyz[6][4] = {{0, 0, -1}, {1, 0, -1}, {0, 0, -2}, {1, 0, -2}, {5, 5, 5}, {6, 6, 6}};
    float before[6][4];
    memcpy(before, xyz, sizeof xyz);
    const uint32_t across[3] = {2, 3, 4};
    TurnQuadsToCamera(View(0, 1, 0, 0, 0).data(), false, 6, xyz, 3, across);
    TurnQuadsToCamera(View(0, 0, 0, 0, 0).data(), false, 6, xyz, 6, QUAD_INDEXES);
    EXPECT_EQ(memcmp(xyz, before, sizeof xyz), 0);
    TurnQuadsToCamera(View(0, 1, 0, 0, 0).data(), false, 6, xyz, 6, QUAD_INDEXES);
    EXPECT_NE(memcmp(xyz, before, sizeof xyz), 0);
    EXPECT_EQ(memcmp(xyz[4], before[4], sizeof(float) * 8), 0);
}

TEST(ViewGeometry, ReflectionCoordinates)
{
    struct sCase
    {
        const char* what;
        std::vector<float> view;
        float xyz[4], normal[3];
        float s, t;
    };
    const float h = 0.5f * std::sin(static_cast<float>(M_PI) / 6); // a normal turned 30 degrees
    const float sn = std::sin(static_cast<float>(M_PI) / 6), cs = std::cos(static_cast<float>(M_PI) / 6);
    const sCase cases[] = {
        {"facing the eye", View(0, 1, 0, 0, 0), {0, 0, -5}, {0, 0, 1}, 0.5f, 0.5f},
        {"turned right", View(0, 1, 0, 0, 0), {0, 0, -5}, {sn, 0, cs}, 0.5f + h, 0.5f},
        {"turned up", View(0, 1, 0, 0, 0), {0, 0, -5}, {0, sn, cs}, 0.5f, 0.5f + h},
        // The same as seen through a turned, scaled and moved view.
        {"turned view", View(90, 1.0f / 64, 0, 0, -5), {0, 0, 0}, {-1, 0, 0}, 0.5f, 0.5f},
        {"turned view, normal up", View(90, 1.0f / 64, 0, 0, -5), {0, 0, 0}, {-cs, sn, 0}, 0.5f, 0.5f + h},
        {"no normal", View(0, 1, 0, 0, 0), {0, 0, -5}, {0, 0, 0}, 0.5f, 0.5f},
    };
    for (const sCase& c : cases)
    {
        float xyz[1][4], st[1][2];
        memcpy(xyz[0], c.xyz, sizeof c.xyz);
        ReflectionCoords(c.view.data(), 1, xyz, c.normal, st);
        EXPECT_NEAR(st[0][0], c.s, 1e-5) << c.what;
        EXPECT_NEAR(st[0][1], c.t, 1e-5) << c.what;
    }
    // Off the axis of sight the view direction counts: a normal facing the eye's axis, seen
    // from the side, reflects away from the centre.
    float xyz[1][4] = {{3, 0, -3}}, st[1][2];
    const float normal[3] = {0, 0, 1};
    ReflectionCoords(View(0, 1, 0, 0, 0).data(), 1, xyz, normal, st);
    EXPECT_GT(st[0][0], 0.6f);
}
