// Display options: wireframe around the model's drawing, helper lines after it, the clear
// colour and the model light, all driven by console variables.
#include "viewer/display.h"

#include "console/console.h"
#include "model/drawer.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "shader/tess.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{
// Links form a tree; the limit only guards against a model linked below itself.
const int DISPLAY_MAX_TREE_DEPTH = 32;

// Models stand on their z axis; the player drawing turns them upright with this matrix.
const float UPRIGHT[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};

// Blended vertices of the surface whose normals are drawn.
float helperXyz[MD3_MAX_VERTS * 3];
float helperNormals[MD3_MAX_VERTS * 3];

struct sHelperSwitches
{
    bool bounds, tags, normals;
};

// out = a * b, column-major as OpenGL keeps matrices.
void MultMatrix(const float a[16], const float b[16], float out[16])
{
    for (int c = 0; c < 4; c++)
        for (int r = 0; r < 4; r++)
        {
            float sum = 0;
            for (int k = 0; k < 4; k++)
                sum += a[k * 4 + r] * b[c * 4 + k];
            out[c * 4 + r] = sum;
        }
}

void Line(const float a[3], const float b[3])
{
    glVertex3fv(a);
    glVertex3fv(b);
}

// The twelve edges of the box between lo and hi.
void DrawBox(const float lo[3], const float hi[3])
{
    glBegin(GL_LINES);
    for (int axis = 0; axis < 3; axis++)
        for (int corner = 0; corner < 4; corner++)
        {
            // The other two axes take their low or high side from the corner's two bits.
            const int u = (axis + 1) % 3, v = (axis + 2) % 3;
            float a[3], b[3];
            a[u] = b[u] = (corner & 1) ? hi[u] : lo[u];
            a[v] = b[v] = (corner & 2) ? hi[v] : lo[v];
            a[axis] = lo[axis];
            b[axis] = hi[axis];
            Line(a, b);
        }
    glEnd();
}

// The tag's three axes from its origin: the first three columns of its matrix.
void DrawTagAxes(const float m[16])
{
    static const float colors[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    glBegin(GL_LINES);
    for (int k = 0; k < 3; k++)
    {
        glColor3fv(colors[k]);
        const float end[3] = {m[12] + m[k * 4] * DISPLAY_TAG_AXIS_LENGTH,
                              m[13] + m[k * 4 + 1] * DISPLAY_TAG_AXIS_LENGTH,
                              m[14] + m[k * 4 + 2] * DISPLAY_TAG_AXIS_LENGTH};
        Line(m + 12, end);
    }
    glEnd();
}

void DrawNormals(const cMd3& model, uint32_t c, uint32_t n, float f)
{
    glColor3f(1, 1, 1);
    glBegin(GL_LINES);
    for (const sMd3Surface& s : model.surfaces)
    {
        model.BlendSurface(s, c, n, f, helperXyz, helperNormals);
        // Only vertices that a triangle uses were blended.
        const uint32_t count = s.everyVertexUsed ? s.numVerts : s.numIndices;
        for (uint32_t i = 0; i < count; i++)
        {
            const uint32_t v = s.everyVertexUsed ? i : s.indices[i];
            const float* p = helperXyz + v * 3;
            const float* d = helperNormals + v * 3;
            const float end[3] = {p[0] + d[0] * DISPLAY_NORMAL_LENGTH, p[1] + d[1] * DISPLAY_NORMAL_LENGTH,
                                  p[2] + d[2] * DISPLAY_NORMAL_LENGTH};
            Line(p, end);
        }
    }
    glEnd();
}

// The frames a part is drawn at, as the tag tree drawing takes them; frames past the end show
// the last one.
void PartFrames(const cMd3& model, uint32_t& c, uint32_t& n, float& f)
{
    c = n = 0;
    f = 1.0f;
    if (model.animState)
    {
        c = model.animState->currentFrame;
        n = model.animState->nextFrame;
        f = model.animState->fraction;
    }
    c = std::min(c, model.numFrames - 1);
    n = std::min(n, model.numFrames - 1);
}

// One part at the matrix m (model view times the tags above it), then its children.
void DrawPart(const cMd3* model, const float m[16], const sHelperSwitches& on, int depth)
{
    if (!model || depth > DISPLAY_MAX_TREE_DEPTH || model->numFrames == 0 ||
        model->frames.size() < model->numFrames)
        return;
    uint32_t c, n;
    float f;
    PartFrames(*model, c, n, f);
    const sMd3Frame& a = model->frames[c];
    const sMd3Frame& b = model->frames[n];
    glLoadMatrixf(m);
    if (on.bounds)
    {
        float lo[3], hi[3];
        bool empty = true;
        for (int k = 0; k < 3; k++)
        {
            lo[k] = (1 - f) * a.mins[k] + f * b.mins[k];
            hi[k] = (1 - f) * a.maxs[k] + f * b.maxs[k];
            empty = empty && lo[k] == hi[k];
        }
        glColor3f(1, 1, 0);
        if (!empty)
            DrawBox(lo, hi);
    }
    if (on.normals)
        DrawNormals(*model, c, n, f);
    for (uint32_t t = 0; t < model->numTags && t < a.tags.size() && t < b.tags.size(); t++)
    {
        const bool child = t < model->links.size() && model->links[t];
        if (!on.tags && !child)
            continue;
        float q[4], origin[3], tag[16];
        Slerp(a.tags[t].rotation, b.tags[t].rotation, f, q);
        for (int k = 0; k < 3; k++)
            origin[k] = (1 - f) * a.tags[t].origin[k] + f * b.tags[t].origin[k];
        TagMatrix(q, origin, tag);
        if (on.tags)
        {
            glLoadMatrixf(m);
            DrawTagAxes(tag);
        }
        if (child)
        {
            float below[16];
            MultMatrix(m, tag, below);
            DrawPart(model->links[t], below, on, depth + 1);
        }
    }
}

// Lines across the plane of the lowest point the legs' boxes reach in any frame.
void DrawGrid(const cMd3* lower)
{
    float floor = 0;
    if (lower && !lower->frames.empty())
    {
        floor = lower->frames[0].mins[2];
        for (const sMd3Frame& frame : lower->frames)
            floor = std::min({floor, frame.mins[2], frame.maxs[2]});
    }
    glColor3f(0.5f, 0.5f, 0.5f);
    glBegin(GL_LINES);
    const float h = DISPLAY_GRID_HALF_SIZE;
    for (float s = -h; s <= h; s += DISPLAY_GRID_STEP)
    {
        glVertex3f(s, -h, floor);
        glVertex3f(s, h, floor);
        glVertex3f(-h, s, floor);
        glVertex3f(h, s, floor);
    }
    glEnd();
}

void MakeSwitch(ConVar& var, int value)
{
    var.type = CONVAR_BOOL;
    var.Set(value);
}
} // namespace

cViewerDisplay::cViewerDisplay()
{
    for (ConVar* var : {&wireframe, &bounds, &tags, &normals, &grid})
        MakeSwitch(*var, 0);
    MakeSwitch(lighting, 1);
    background.Set("0 0 0");
}

void cViewerDisplay::Register()
{
    static const struct
    {
        const char* action;
        const char* var;
        ConVar cViewerDisplay::*member;
    } switches[] = {{"wireframe", "r_wireframe", &cViewerDisplay::wireframe},
                    {"bounds", "r_bounds", &cViewerDisplay::bounds},
                    {"tags", "r_tags", &cViewerDisplay::tags},
                    {"normals", "r_normals", &cViewerDisplay::normals},
                    {"grid", "r_grid", &cViewerDisplay::grid},
                    {"lighting", "r_lighting", &cViewerDisplay::lighting}};
    for (const auto& s : switches)
    {
        gConsole.RegisterVar(s.var, &(this->*s.member), this, -1);
        const char* name = s.var;
        gConsole.RegisterAction(s.action, [name] { gConsole.ToggleVar(name); });
    }
    gConsole.RegisterVar("r_background", &background, this, -1);
}

void cViewerDisplay::Background(float rgb[3]) const
{
    // Quotes around the three values are allowed.
    char text[64];
    snprintf(text, sizeof text, "%s", background.valueText.c_str());
    std::replace(text, text + strlen(text), '"', ' ');
    rgb[0] = rgb[1] = rgb[2] = 0;
    sscanf(text, "%f %f %f", &rgb[0], &rgb[1], &rgb[2]);
    for (int k = 0; k < 3; k++)
        rgb[k] = rgb[k] >= 0 ? (rgb[k] <= 1 ? rgb[k] : 1) : 0; // not a number gives 0 too
}

bool cViewerDisplay::OnVariableChange(ConVar* var, ConArgs* args)
{
    if (!args || !args->Arg(0))
        return false;
    var->Set(args->Arg(0));
    if (var == &lighting)
        gTess.lighting = lighting.Bool();
    else if (var == &background)
    {
        float rgb[3];
        Background(rgb);
        glClearColor(rgb[0], rgb[1], rgb[2], 0);
    }
    return true;
}

void cViewerDisplay::BeginModel() const
{
    if (wireframe.Bool())
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
}

void cViewerDisplay::EndModel(cModelQ3& player) const
{
    if (wireframe.Bool())
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    const sHelperSwitches on = {bounds.Bool(), tags.Bool(), normals.Bool()};
    if (!on.bounds && !on.tags && !on.normals && !grid.Bool())
        return;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_DEPTH_BUFFER_BIT | GL_POLYGON_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_FOG);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LINE_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glLineWidth(1.0f);
    glMatrixMode(GL_MODELVIEW);
    float view[16], upright[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, view);
    MultMatrix(view, UPRIGHT, upright);
    glLoadMatrixf(upright);
    if (grid.Bool())
        DrawGrid(player.lower);
    if (on.bounds || on.tags || on.normals)
        DrawPart(player.lower, upright, on, 0);
    glLoadMatrixf(view);
    glPopAttrib();
}
