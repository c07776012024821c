// Sprites turned to the camera and reflection coordinates, worked out from the modelview
// matrix alone: the camera sits at the eye-space origin, looking down -z, with x to the right
// and y up.
#include "shader/viewgeom.h"

#include <cmath>
#include <vector>

namespace
{
struct sVec3
{
    double x = 0.0, y = 0.0, z = 0.0;
};

sVec3 Vec(double x, double y, double z) { return sVec3{x, y, z}; }
sVec3 operator+(const sVec3& a, const sVec3& b) { return Vec(a.x + b.x, a.y + b.y, a.z + b.z); }
sVec3 operator-(const sVec3& a, const sVec3& b) { return Vec(a.x - b.x, a.y - b.y, a.z - b.z); }
sVec3 operator*(const sVec3& a, double s) { return Vec(a.x * s, a.y * s, a.z * s); }
double Dot(const sVec3& a, const sVec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
sVec3 Cross(const sVec3& a, const sVec3& b)
{
    return Vec(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
double Length(const sVec3& a) { return std::sqrt(Dot(a, a)); }

// a scaled to length 1; false (a untouched) when it is too short or not finite.
bool Normalize(sVec3& a)
{
    const double len = Length(a);
    if (!(len > 1e-12) || !std::isfinite(len))
        return false;
    a = a * (1.0 / len);
    return true;
}

sVec3 Point(const float* p) { return Vec(p[0], p[1], p[2]); }

// The modelview split into its 3x3 part (row-major here) and translation, with the inverse of
// the 3x3 part; ok is false when that part cannot be inverted.
struct sView
{
    double a[3][3], inv[3][3];
    sVec3 move;
    bool ok = false;

    explicit sView(const float m[16])
    {
        for (int row = 0; row < 3; row++)
            for (int col = 0; col < 3; col++)
                a[row][col] = m[col * 4 + row];
        move = Vec(m[12], m[13], m[14]);
        const double det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
                           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
                           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
        if (!std::isfinite(det) || std::fabs(det) < 1e-12)
            return;
        for (int row = 0; row < 3; row++)
            for (int col = 0; col < 3; col++)
            {
                // Cofactor of a[col][row], by cyclic indexes.
                const int r1 = (col + 1) % 3, r2 = (col + 2) % 3, c1 = (row + 1) % 3, c2 = (row + 2) % 3;
                inv[row][col] = (a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1]) / det;
            }
        ok = true;
    }

    sVec3 Apply(const double m[3][3], const sVec3& v) const
    {
        return Vec(m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
                   m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
                   m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z);
    }
    // Eye-space position of a model-space point.
    sVec3 ToEye(const sVec3& p) const { return Apply(a, p) + move; }
    // Model-space direction of an eye-space direction.
    sVec3 DirectionToModel(const sVec3& d) const { return Apply(inv, d); }
    // Eye-space direction of a model-space normal (the inverse transpose keeps it upright
    // under uneven scales).
    sVec3 NormalToEye(const sVec3& n) const
    {
        return Vec(inv[0][0] * n.x + inv[1][0] * n.y + inv[2][0] * n.z,
                   inv[0][1] * n.x + inv[1][1] * n.y + inv[2][1] * n.z,
                   inv[0][2] * n.x + inv[1][2] * n.y + inv[2][2] * n.z);
    }
    // The camera's position in model space.
    sVec3 Camera() const { return Apply(inv, move * -1.0); }
};

// Turns one quad, whose front is the triangle a, b, c (vertex numbers within the mesh).
void TurnQuad(const sView& view, bool alongAxis, float (*quad)[4], const float* a, const float* b,
              const float* c)
{
    sVec3 corner[4], centre;
    for (int k = 0; k < 4; k++)
    {
        corner[k] = Point(quad[k]);
        centre = centre + corner[k] * 0.25;
    }
    sVec3 front = Cross(Point(b) - Point(a), Point(c) - Point(a));
    // The triangle's longest edge is the quad's diagonal; the other two run along its sides.
    sVec3 edges[3] = {Point(b) - Point(a), Point(c) - Point(b), Point(a) - Point(c)};
    int longest = 0;
    for (int k = 1; k < 3; k++)
        if (Length(edges[k]) > Length(edges[longest]))
            longest = k;
    sVec3 side1 = edges[(longest + 1) % 3], side2 = edges[(longest + 2) % 3];
    sVec3 axis = Length(side1) >= Length(side2) ? side1 : side2; // the long side
    if (!Normalize(front) || !Normalize(axis))
        return;
    const sVec3 across = Cross(front, axis); // axis, across, front: a right-handed frame

    // Where each corner lies in the quad's own frame.
    double u[4], v[4], radius = 0.0;
    for (int k = 0; k < 4; k++)
    {
        u[k] = Dot(corner[k] - centre, axis);
        v[k] = Dot(corner[k] - centre, across);
        radius = std::fmax(radius, std::sqrt(u[k] * u[k] + v[k] * v[k]));
    }

    sVec3 newU, newV;
    if (alongAxis)
    {
        // Keep the axis; turn the across direction so that the front looks at the viewer.
        sVec3 toViewer = view.Camera() - centre;
        newU = axis;
        newV = Cross(toViewer, axis);
        if (!Normalize(newV))
            return;
    }
    else
    {
        // The screen's right and up axes, in model space; their cross product faces the eye.
        newU = view.DirectionToModel(Vec(1, 0, 0));
        newV = view.DirectionToModel(Vec(0, 1, 0));
        if (!Normalize(newU) || !Normalize(newV))
            return;
        // A square whose half diagonal is the farthest corner's distance from the centre.
        const double half = radius / std::sqrt(2.0);
        for (int k = 0; k < 4; k++)
        {
            u[k] = u[k] >= 0.0 ? half : -half;
            v[k] = v[k] >= 0.0 ? half : -half;
        }
    }
    for (int k = 0; k < 4; k++)
    {
        const sVec3 p = centre + newU * u[k] + newV * v[k];
        quad[k][0] = static_cast<float>(p.x);
        quad[k][1] = static_cast<float>(p.y);
        quad[k][2] = static_cast<float>(p.z);
    }
}
} // namespace

void TurnQuadsToCamera(const float modelview[16], bool alongAxis, int numVertexes, float (*xyz)[4],
                       int numIndexes, const uint32_t* indexes)
{
    const sView view(modelview);
    const int quads = numVertexes / 4;
    if (!view.ok || quads <= 0 || !indexes)
        return;
    // The first triangle of each quad; kept between calls so that drawing allocates nothing
    // once the largest mesh has been seen.
    static std::vector<int> firstTriangle;
    firstTriangle.assign(static_cast<size_t>(quads), -1);
    for (int t = 0; t + 2 < numIndexes; t += 3)
    {
        const uint32_t q = indexes[t] / 4;
        if (q < static_cast<uint32_t>(quads) && indexes[t + 1] / 4 == q && indexes[t + 2] / 4 == q &&
            firstTriangle[q] < 0)
            firstTriangle[q] = t;
    }
    for (int q = 0; q < quads; q++)
    {
        const int t = firstTriangle[q];
        if (t < 0)
            continue;
        // Corners are read before the quad is rewritten.
        float tri[3][3];
        for (int k = 0; k < 3; k++)
            for (int j = 0; j < 3; j++)
                tri[k][j] = xyz[indexes[t + k]][j];
        TurnQuad(view, alongAxis, xyz + q * 4, tri[0], tri[1], tri[2]);
    }
}

void ReflectionCoords(const float modelview[16], int numVertexes, const float (*xyz)[4], const float* normals,
                      float (*st)[2])
{
    const sView view(modelview);
    for (int i = 0; i < numVertexes; i++)
    {
        st[i][0] = st[i][1] = 0.5f;
        sVec3 eye = view.ToEye(Point(xyz[i]));
        sVec3 normal = view.NormalToEye(Point(normals + i * 3));
        if (!view.ok || !Normalize(eye) || !Normalize(normal))
            continue;
        const sVec3 r = eye - normal * (2.0 * Dot(normal, eye));
        const double m = 2.0 * std::sqrt(r.x * r.x + r.y * r.y + (r.z + 1.0) * (r.z + 1.0));
        if (!(m > 1e-9))
            continue;
        st[i][0] = static_cast<float>(r.x / m + 0.5);
        st[i][1] = static_cast<float>(r.y / m + 0.5);
    }
}
