// The viewer's display options: console variables for drawing the model as lines, for helper
// lines (frame bounds, tag axes, vertex normals, a floor grid), for the clear colour and for
// the model light, with the actions that switch them.
#pragma once

#include "console/convar.h"
#include "platform/varlistener.h"

class cModelQ3;

// Helper sizes in model units.
const float DISPLAY_TAG_AXIS_LENGTH = 6.0f;
const float DISPLAY_NORMAL_LENGTH = 2.0f;
const float DISPLAY_GRID_HALF_SIZE = 64.0f;
const float DISPLAY_GRID_STEP = 8.0f;

class cViewerDisplay : public VarListener
{
  public:
    cViewerDisplay();

    // Registers the variables and the actions "wireframe", "bounds", "tags", "normals", "grid"
    // and "lighting" that switch them.
    void Register();
    // A typed value of r_lighting or r_background is taken and applied at once (to the batch's
    // light switch, to the clear colour); the other variables are read while drawing. Nothing
    // is applied every frame, so code that sets the light or the clear colour itself keeps it.
    bool OnVariableChange(ConVar* var, ConArgs* args) override;
    // Around the model's drawing: polygons as lines while r_wireframe is on; then the helper
    // lines, depth-tested, with the GL state put back as it was.
    void BeginModel() const;
    void EndModel(cModelQ3& player) const;
    // r_background as three values in 0..1; missing or unreadable values are 0.
    void Background(float rgb[3]) const;

    ConVar wireframe;  // r_wireframe
    ConVar bounds;     // r_bounds: each part's box at its current frame (from the file), yellow
    ConVar tags;       // r_tags: x red, y green, z blue at every tag
    ConVar normals;    // r_normals: white lines along the vertex normals
    ConVar grid;       // r_grid: grey lines in the plane of the player's feet
    ConVar background; // r_background "r g b"
    ConVar lighting;   // r_lighting: the model light of the game look
};
