// Camera framing: the bounds of a model tree found by drawing it through a drawer that only
// measures, the camera placed to show them, and the view resetcam goes back to.
#include "viewer/framing.h"

#include "model/drawer.h"
#include "model/md3.h"
#include "model/modelq3.h"
#include "model/weaponq3.h"
#include "shader/tess.h"
#include "viewer/viewerapp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

const float VIEWER_UPRIGHT[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1};

void DrawUpright(cMd3* root)
{
    gTess.Reset();
    cModelDrawer& drawer = ModelDrawer();
    drawer.PushTransform(VIEWER_UPRIGHT);
    cModelQ3::RenderTree(root);
    drawer.PopTransform();
    if (gTess.pending != TESS_EMPTY)
        gTess.Flush();
}

namespace
{
// The start position of the camera, where it stays without framing.
const float START_VIEW[5] = {0.0f, 5.0f, 75.0f, 0.0f, 0.0f};

// Takes every surface as drawn and grows a box around its triangles, moved by the transforms
// the tag tree pushes. Which surfaces are drawn is asked of the drawer it stands in for.
class cBoundsDrawer : public cModelDrawer
{
  public:
    cBoundsDrawer(cModelDrawer& real, const std::vector<const cMd3*>& left) : inner(real), skip(left) {}

    void DrawSurface(const sMd3Surface& surface, const char*, const float* xyz, const float*) override
    {
        for (const cMd3* model : skip)
            if (!model->surfaces.empty() && &surface >= &model->surfaces.front() &&
                &surface <= &model->surfaces.back())
                return;
        // Only vertices that a triangle uses: the others hold what an earlier surface left.
        for (uint32_t index : surface.indices)
        {
            const float* v = xyz + 3 * index;
            float p[3];
            for (int k = 0; k < 3; k++)
                p[k] = m[k] * v[0] + m[4 + k] * v[1] + m[8 + k] * v[2] + m[12 + k];
            box.Add(p);
        }
    }
    void PushTransform(const float matrix[16]) override
    {
        stack.emplace_back(m, m + 16);
        float product[16];
        for (int c = 0; c < 4; c++)
            for (int r = 0; r < 4; r++)
            {
                product[c * 4 + r] = 0;
                for (int k = 0; k < 4; k++)
                    product[c * 4 + r] += m[k * 4 + r] * matrix[c * 4 + k];
            }
        memcpy(m, product, sizeof m);
    }
    void PopTransform() override
    {
        if (stack.empty())
            return;
        std::copy(stack.back().begin(), stack.back().end(), m);
        stack.pop_back();
    }
    bool ShaderExists(const char* name) override { return inner.ShaderExists(name); }

    sBounds box;

  private:
    cModelDrawer& inner;
    const std::vector<const cMd3*>& skip;
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::vector<std::vector<float>> stack;
};
} // namespace

void sBounds::Add(const float p[3])
{
    for (int k = 0; k < 3; k++)
    {
        lo[k] = valid ? std::min(lo[k], p[k]) : p[k];
        hi[k] = valid ? std::max(hi[k], p[k]) : p[k];
    }
    valid = true;
}

sBounds ModelBounds(cMd3* root, const std::vector<const cMd3*>& skip)
{
    if (!root)
        return sBounds();
    cModelDrawer& real = ModelDrawer();
    cBoundsDrawer measure(real, skip);
    SetModelDrawer(&measure);
    measure.PushTransform(VIEWER_UPRIGHT);
    cModelQ3::RenderTree(root);
    measure.PopTransform();
    SetModelDrawer(&real);
    return measure.box;
}

void FrameBox(const sBounds& box, float fovY, float aspect, float share, float position[3])
{
    const float halfTan = std::tan(fovY * 0.5f * 3.14159265f / 180.0f);
    float half[3], centre[3];
    for (int k = 0; k < 3; k++)
    {
        half[k] = (box.hi[k] - box.lo[k]) * 0.5f;
        centre[k] = (box.lo[k] + box.hi[k]) * 0.5f;
    }
    float distance = half[1] / (share * halfTan);
    if (aspect > 0)
        distance = std::max(distance, half[0] / (share * halfTan * aspect));
    // Never inside the box, whatever its shape.
    distance = std::max(distance, half[2] + 1.0f);
    position[0] = centre[0];
    position[1] = centre[1];
    position[2] = centre[2] + distance;
}

void ViewerApp::FrameView()
{
    const bool playerView = !solo && !weaponOnly;
    std::copy(START_VIEW, START_VIEW + 5, homeView);
    cModelQ3* player = CurrentModel();
    cMd3* root = playerView ? (player && player->IsLoaded() ? player->lower : nullptr) : SoloRoot();
    // The model itself: a weapon in the hand or a muzzle flash may reach far out of it.
    std::vector<const cMd3*> skip;
    if (cWeaponQ3* weapon = solo ? nullptr : CurrentWeapon())
        skip = playerView ? std::vector<const cMd3*>{weapon->main, weapon->barrel, weapon->flash}
                          : std::vector<const cMd3*>{weapon->flash};
    skip.erase(std::remove(skip.begin(), skip.end(), nullptr), skip.end());
    const sBounds box = framing || !playerView ? ModelBounds(root, skip) : sBounds();
    if (box.valid)
    {
        const float aspect = static_cast<float>(settings.width) / std::max(1, settings.height);
        FrameBox(box, settings.fov.Float(), aspect, VIEWER_FRAME_SHARE, homeView);
        homeView[3] = homeView[4] = 0.0f;
    }
    ResetCamera();
}

void ViewerApp::ResetCamera()
{
    camera.x = homeView[0];
    camera.y = homeView[1];
    camera.z = homeView[2];
    camera.pitch = homeView[3];
    camera.yaw = homeView[4];
    camera.roll = 0.0f;
}

void ViewerApp::SelectionChanged(bool player)
{
    const bool wasSolo = solo || weaponOnly;
    if (player)
        LeaveSolo();
    if (player ? framing || wasSolo : weaponOnly)
        FrameView();
}
