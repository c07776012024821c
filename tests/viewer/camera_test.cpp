// Camera movement from a built input state, and the two view matrices.
#include "viewer/camera.h"

#include "app/app.h"
#include "support/glcontext.h"

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>
#include <cmath>

namespace
{
class CameraTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // Update reads the viewport and shows the pointer, so it needs a window.
        ASSERT_TRUE(OpenTestGLContext(640, 480));
        glViewport(0, 0, 640, 480);
        cam.SetMode(CAMERA_EXAMINE);
        cam.speed = 1.0f;
    }

    // A motion event from the pointer's last position by (dx, dy).
    void Motion(int dx, int dy)
    {
        input.prevMouseX = input.mouseX;
        input.prevMouseY = input.mouseY;
        input.mouseX += dx;
        input.mouseY += dy;
    }

    Camera cam;
    InputState input;
};

TEST_F(CameraTest, LeftDragTurnsAndWrapsYaw)
{
    input.mouseX = 300;
    input.mouseY = 200;
    input.buttons = 0x10000;
    Motion(10, 0);
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 5.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 0.0f);

    // Past 360 degrees the yaw comes back into 0..360; pitch follows dy unlimited.
    cam.yaw = 358.0f;
    Motion(8, -4);
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 2.0f);
    EXPECT_FLOAT_EQ(cam.pitch, -2.0f);

    // Below zero it wraps the other way.
    cam.yaw = 1.0f;
    Motion(-4, 0);
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 359.0f);
}

TEST_F(CameraTest, LastMotionRepeatsWhileButtonHeld)
{
    Motion(4, 0);
    // No button: the motion turns nothing.
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 0.0f);
    // The button goes down after the pointer stopped: each frame adds the last difference again.
    input.buttons = 0x10000;
    cam.Update(input);
    cam.Update(input);
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 6.0f);
    // A new motion event replaces the difference.
    Motion(0, 0);
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 6.0f);
}

TEST_F(CameraTest, MiddlePansRightZoomsAndOnlyFirstButtonCounts)
{
    cam.speed = 5.0f;
    input.buttons = 0x40000;
    Motion(10, 0); // pointer right: camera left, so the model follows the pointer
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.x, -10.0f);
    Motion(0, 10); // pointer down: camera up
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.y, 10.0f);
    EXPECT_FLOAT_EQ(cam.z, 0.0f);

    // Middle held together with the others: only the pan applies.
    input.buttons = 0x10000 | 0x20000 | 0x40000;
    Motion(0, 2);
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.y, 12.0f);
    EXPECT_FLOAT_EQ(cam.z, 0.0f);
    EXPECT_FLOAT_EQ(cam.pitch, 0.0f);

    // Right (with left) zooms along z by dy only.
    input.buttons = 0x10000 | 0x20000;
    Motion(7, -3);
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.z, -3.0f);
    EXPECT_FLOAT_EQ(cam.x, -10.0f);
    EXPECT_FLOAT_EQ(cam.yaw, 0.0f);
}

TEST_F(CameraTest, ExamineKeysMoveAlongAxes)
{
    cam.z = 75.0f;
    cam.speed = 1.2f;
    input.keys[SDLK_w] = 1;
    input.keys[SDLK_s] = 1;
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.z, 75.0f);

    input.keys[SDLK_s] = 0;
    input.keys['D'] = 1; // upper-case symbol counts too
    input.keys[SDLK_t] = 1;
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.z, 73.8f);
    EXPECT_FLOAT_EQ(cam.x, 1.2f);
    EXPECT_FLOAT_EQ(cam.y, 1.2f);
}

// The two modes the viewer never selects: arrows and mouse turn, keys move along the heading.
TEST_F(CameraTest, FlyAndMouseLookModes)
{
    cam.SetMode(CAMERA_FLY);
    cam.speed = 2.0f;
    cam.yaw = 90.0f;
    input.keys[SDLK_RIGHT] = 1;
    input.keys[SDLK_w] = 1;
    input.buttons = INPUT_BUTTON_LEFT; // the mouse turns nothing here
    Motion(10, 10);
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 92.0f);
    EXPECT_NEAR(cam.x, 2.0f, 1e-2); // forward at heading 92 is nearly +x
    EXPECT_NEAR(cam.z, 0.07f, 1e-2);

    input = InputState();
    cam = Camera();
    cam.SetMode(CAMERA_MOUSELOOK);
    input.mouseX = 420; // the centre is (320, 240)
    input.mouseY = 220;
    cam.Update(input);
    EXPECT_NEAR(cam.yaw, 15.0f, 1e-4);
    EXPECT_NEAR(cam.pitch, -3.0f, 1e-4);
    EXPECT_EQ(input.prevMouseX, 420);
    EXPECT_EQ(input.mouseX, 320);
    EXPECT_EQ(input.mouseY, 240);
    SDL_ShowCursor(1);
}

// Object view translates first (the model turns in place); eye view turns the offset too.
TEST_F(CameraTest, ViewMatricesApplyInTheirOrder)
{
    cam.x = 0.0f;
    cam.y = 5.0f;
    cam.z = 75.0f;
    cam.yaw = 90.0f;
    GLfloat m[16];

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    cam.ApplyObjectView();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[12], 0.0f, 1e-4);
    EXPECT_NEAR(m[13], -5.0f, 1e-4);
    EXPECT_NEAR(m[14], -75.0f, 1e-4);
    EXPECT_NEAR(m[8], 1.0f, 1e-4); // z axis turned onto x

    glLoadIdentity();
    cam.ApplyEyeView();
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    EXPECT_NEAR(m[12], -75.0f, 1e-3);
    EXPECT_NEAR(m[13], -5.0f, 1e-4);
    EXPECT_NEAR(m[14], 0.0f, 1e-3);
    glLoadIdentity();
}
} // namespace
