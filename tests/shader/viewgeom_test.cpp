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
    // Flat quads seen edge-on (their front faces up): 2 x 2 squares made sprites, and long ones
    // turned about their long side, along x. Corners 0 1 2 3; triangles 0 1 2 and 2 1 3.
    struct sCase
    {
        bool alongAxis;
        std::vector<float> view;
        float corners[4][3];
    };
    const sCase cases[] = {
        {false, View(0, 1, 0, 0, 0), {{-1, 0, -9}, {1, 0, -9}, {-1, 0, -11}, {1, 0, -11}}},
        {false, View(70, 2, 1, -3, -40), {{4, 2, 0}, {6, 2, 0}, {4, 2, -2}, {6, 2, -2}}},
        {true, View(0, 1, 0, 0, 0), {{-2, 0, -9.5f}, {2, 0, -9.5f}, {-2, 0, -10.5f}, {2, 0, -10.5f}}},
        {true, View(-35, 0.5f, 2, 1, -30), {{0, 3, 0}, {8, 3, 0}, {0, 3, -2}, {8, 3, -2}}},
    };
    for (int i = 0; i < 4; i++)
    {
        const sCase& c = cases[i];
        float xyz[4][4], middle[3] = {0, 0, 0};
        for (int k = 0; k < 4; k++)
            memcpy(xyz[k], c.corners[k], sizeof c.corners[k]);
        TurnQuadsToCamera(c.view.data(), c.alongAxis, 4, xyz, 6, QUAD_INDEXES);

        // The centre stays; both triangles now show their front to the eye.
        for (int k = 0; k < 4; k++)
            for (int j = 0; j < 3; j++)
                middle[j] += (xyz[k][j] - c.corners[k][j]) / 4;
        EXPECT_TRUE(std::fabs(middle[0]) + std::fabs(middle[1]) + std::fabs(middle[2]) < 1e-4) << i;
        EXPECT_GT(FrontTowardsEye(c.view, xyz[0], xyz[1], xyz[2]), 0.0) << i;
        EXPECT_GT(FrontTowardsEye(c.view, xyz[2], xyz[1], xyz[3]), 0.0) << i;
        std::vector<double> e[4];
        for (int k = 0; k < 4; k++)
            e[k] = Eye(c.view, xyz[k]);
        if (!c.alongAxis)
        {
            // Flat on the screen, sides along its axes, 2 x 2 at the view's scale.
            const double side = 2 * std::hypot(c.view[0], c.view[2]);
            for (int k = 1; k < 4; k++)
                EXPECT_NEAR(e[k][2], e[0][2], 1e-3) << i;
            EXPECT_NEAR(std::fabs(e[1][0] - e[0][0]) + std::fabs(e[1][1] - e[0][1]), side, 1e-3) << i;
            EXPECT_NEAR(std::hypot(e[3][0] - e[0][0], e[3][1] - e[0][1]), side * std::sqrt(2.0), 1e-3) << i;
            continue;
        }
        // The long side keeps its place along x; the short side keeps its length and now lies
        // across the line of sight to the centre.
        for (int k = 0; k < 4; k++)
            EXPECT_NEAR(xyz[k][0], c.corners[k][0], 1e-4) << i;
        std::vector<double> across(3), centre(3);
        for (int j = 0; j < 3; j++)
            across[j] = e[2][j] - e[0][j], centre[j] = (e[0][j] + e[3][j]) / 2;
        const double scale = std::hypot(c.view[0], c.view[2]);
        EXPECT_NEAR(std::sqrt(across[0] * across[0] + across[1] * across[1] + across[2] * across[2]),
                    (c.corners[0][2] - c.corners[2][2]) * scale, 1e-4)
            << i;
        EXPECT_NEAR(across[0] * centre[0] + across[1] * centre[1] + across[2] * centre[2], 0.0, 1e-3) << i;
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
    // The eye-space normal turned 30 degrees right or up moves the reading as far from the
    // centre; a turned, scaled and moved view changes nothing.
    const float sn = 0.5f, cs = std::sqrt(0.75f), h = 0.25f;
    struct sCase
    {
        std::vector<float> view;
        float xyz[4], normal[3];
        float s, t;
    };
    const sCase cases[] = {
        {View(0, 1, 0, 0, 0), {0, 0, -5}, {0, 0, 1}, 0.5f, 0.5f},
        {View(0, 1, 0, 0, 0), {0, 0, -5}, {sn, 0, cs}, 0.5f + h, 0.5f},
        {View(0, 1, 0, 0, 0), {0, 0, -5}, {0, sn, cs}, 0.5f, 0.5f + h},
        {View(90, 1.0f / 64, 0, 0, -5), {0, 0, 0}, {-1, 0, 0}, 0.5f, 0.5f},
        {View(90, 1.0f / 64, 0, 0, -5), {0, 0, 0}, {-cs, sn, 0}, 0.5f, 0.5f + h},
        {View(0, 1, 0, 0, 0), {0, 0, -5}, {0, 0, 0}, 0.5f, 0.5f}, // no normal
    };
    for (int i = 0; i < 6; i++)
    {
        float xyz[1][4], st[1][2];
        memcpy(xyz[0], cases[i].xyz, sizeof cases[i].xyz);
        ReflectionCoords(cases[i].view.data(), 1, xyz, cases[i].normal, st);
        EXPECT_TRUE(std::fabs(st[0][0] - cases[i].s) < 1e-5 && std::fabs(st[0][1] - cases[i].t) < 1e-5)
            << i << ": " << st[0][0] << " " << st[0][1];
    }
    // Off the axis of sight the view direction counts: a normal facing the eye's axis, seen
    // from the side, reflects away from the centre.
    float xyz[1][4] = {{3, 0, -3}}, st[1][2];
    const float normal[3] = {0, 0, 1};
    ReflectionCoords(View(0, 1, 0, 0, 0).data(), 1, xyz, normal, st);
    EXPECT_GT(st[0][0], 0.6f);
}
