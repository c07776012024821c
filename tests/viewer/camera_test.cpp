// Camera movement from a built input state and the wheel.
#include "viewer/camera.h"

#include "app/app.h"
#include "support/glcontext.h"

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

namespace
{
const uint32_t L = INPUT_BUTTON_LEFT, R = INPUT_BUTTON_RIGHT, M = INPUT_BUTTON_MIDDLE;

// One frame from a fresh camera (the pointer moved by dx, dy; or, when frames > 1, a motion
// followed by frames without one) and where the camera ends up.
TEST(CameraTest, FramesTurnPanZoomAndMove)
{
    ASSERT_TRUE(OpenTestGLContext(640, 480)); // Update reads the viewport and shows the pointer
    const struct
    {
        int mode, buttons, dx, dy, frames;
        float speed, startYaw;
        const char* keys;
        bool dragRepeat;
        float yaw, pitch, x, y, z;
    } cases[] = {
        {CAMERA_EXAMINE, 0, 4, 0, 1, 1, 0, "", true, 0, 0, 0, 0, 0},                 // no button: no turn
        {CAMERA_EXAMINE, L, 8, -4, 1, 1, 358, "", true, 2, -2, 0, 0, 0},             // yaw wraps, pitch not
        {CAMERA_EXAMINE, L, -4, 0, 1, 1, 1, "", true, 359, 0, 0, 0, 0},              // and below zero
        {CAMERA_EXAMINE, L, 4, 0, 3, 1, 0, "", true, 6, 0, 0, 0, 0},                 // held: motion repeats
        {CAMERA_EXAMINE, L, 4, 0, 3, 1, 0, "", false, 2, 0, 0, 0, 0},                // or is applied once
        {CAMERA_EXAMINE, M, 10, 10, 1, 5, 0, "", true, 0, 0, -10, 10, 0},            // pan against pointer
        {CAMERA_EXAMINE, L | R | M, 0, 2, 1, 5, 0, "", true, 0, 0, 0, 2, 0},         // middle wins
        {CAMERA_EXAMINE, L | R, 7, -3, 1, 5, 0, "", true, 0, 0, 0, 0, -3},           // right zooms by dy
        {CAMERA_EXAMINE, 0, 0, 0, 1, 1.2f, 0, "ws", true, 0, 0, 0, 0, 0},            // w and s cancel
        {CAMERA_EXAMINE, 0, 0, 0, 1, 1.2f, 0, "wDt", true, 0, 0, 1.2f, 1.2f, -1.2f}, // any case
        {CAMERA_FLY, L, 10, 10, 1, 2, 90, "\x13w", true, 92, 0, 2, 0, 0.07f},        // right arrow turns
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(&c - cases);
        Camera cam;
        cam.SetMode(c.mode);
        cam.speed = c.speed, cam.yaw = c.startYaw, cam.dragRepeat = c.dragRepeat;
        InputState in;
        in.prevMouseX = 300, in.prevMouseY = 200;
        in.mouseX = 300 + c.dx, in.mouseY = 200 + c.dy;
        cam.AddMotion(c.dx, c.dy);
        in.buttons = c.buttons;
        for (const char* k = c.keys; *k; ++k)
            in.keys[*k == '\x13' ? int(SDLK_RIGHT) : static_cast<unsigned char>(*k)] = 1;
        for (int f = 0; f < c.frames; ++f)
            cam.Update(in);
        EXPECT_FLOAT_EQ(cam.yaw, c.yaw);
        EXPECT_FLOAT_EQ(cam.pitch, c.pitch);
        EXPECT_NEAR(cam.x, c.x, 1e-2);
        EXPECT_FLOAT_EQ(cam.y, c.y);
        EXPECT_NEAR(cam.z, c.z, 1e-2);
    }

    // A wheel step moves a tenth of the distance, at least one unit.
    Camera cam;
    cam.z = 75.0f;
    cam.Zoom(2);
    EXPECT_FLOAT_EQ(cam.z, 60.0f);
    cam.z = 5.0f;
    cam.Zoom(-1);
    EXPECT_FLOAT_EQ(cam.z, 6.0f);
}

} // namespace
