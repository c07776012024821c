// Camera framing: the box around what a model tree draws at its current frames, and the camera
// position that shows that box at a chosen share of the view.
#pragma once

#include <vector>

class cMd3;

// Models stand on their z axis; the view has y up. Column-major, as the model drawer takes it.
extern const float VIEWER_UPRIGHT[16];
// Draws root and everything linked at its tags standing upright, from an empty batch, and
// flushes what is left in the batch.
void DrawUpright(cMd3* root);
// Share of the view height a framed model fills.
const float VIEWER_FRAME_SHARE = 2.0f / 3.0f;

struct sBounds
{
    float lo[3] = {0, 0, 0};
    float hi[3] = {0, 0, 0};
    bool valid = false;

    void Add(const float p[3]);
};

// The box, in view axes (upright), around every triangle of root and of everything linked at its
// tags, at the frames their animation states show now, leaving out the surfaces of the models in
// skip (a weapon in the hand, a muzzle flash). Invalid when nothing would be drawn.
sBounds ModelBounds(cMd3* root, const std::vector<const cMd3*>& skip = {});

// Camera position (x, y, z) for the examine view with no turn: the box centred, its height
// filling share of the view height at the box's centre, narrowed when its width would not fit
// at that share of the view width. fovY in degrees, aspect = width / height.
void FrameBox(const sBounds& box, float fovY, float aspect, float share, float position[3]);
