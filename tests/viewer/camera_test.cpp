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
    }

    Camera cam;
    InputState input;
};

const uint32_t L = INPUT_BUTTON_LEFT, R = INPUT_BUTTON_RIGHT, M = INPUT_BUTTON_MIDDLE;

// One examine frame from a fresh camera: the pointer moved by (dx, dy) with these buttons and
// keys held, and where the camera ends up.
struct sExamineCase
{
    uint32_t buttons;
    float speed, startYaw;
    int dx, dy;
    const char* keys;
    float yaw, pitch, x, y, z;
};
const sExamineCase examineCases[] = {
    {0, 1, 0, 4, 0, "", 0, 0, 0, 0, 0},                 // no button: motion turns nothing
    {L, 1, 0, 10, 0, "", 5, 0, 0, 0, 0},                // half a degree per pixel
    {L, 1, 358, 8, -4, "", 2, -2, 0, 0, 0},             // yaw wraps into 0..360, pitch does not
    {L, 1, 1, -4, 0, "", 359, 0, 0, 0, 0},              // and below zero
    {M, 5, 0, 10, 0, "", 0, 0, -10, 0, 0},              // pointer right: camera left, model follows
    {M, 5, 0, 0, 10, "", 0, 0, 0, 10, 0},               // pointer down: camera up
    {L | R | M, 5, 0, 0, 2, "", 0, 0, 0, 2, 0},         // middle beats the others
    {L | R, 5, 0, 7, -3, "", 0, 0, 0, 0, -3},           // right beats left and zooms by dy
    {0, 1.2f, 0, 0, 0, "ws", 0, 0, 0, 0, 0},            // w and s cancel out
    {0, 1.2f, 0, 0, 0, "wDt", 0, 0, 1.2f, 1.2f, -1.2f}, // upper-case symbols count too
};

TEST_F(CameraTest, ExamineFramesTurnPanZoomAndMove)
{
    for (size_t i = 0; i < sizeof examineCases / sizeof examineCases[0]; ++i)
    {
        const sExamineCase& c = examineCases[i];
        SCOPED_TRACE(i);
        Camera fresh;
        fresh.SetMode(CAMERA_EXAMINE);
        fresh.speed = c.speed;
        fresh.yaw = c.startYaw;
        InputState in;
        in.prevMouseX = 300, in.prevMouseY = 200;
        in.mouseX = 300 + c.dx, in.mouseY = 200 + c.dy;
        in.buttons = c.buttons;
        for (const char* k = c.keys; *k; ++k)
            in.keys[static_cast<unsigned char>(*k)] = 1;
        fresh.Update(in);
        EXPECT_FLOAT_EQ(fresh.yaw, c.yaw);
        EXPECT_FLOAT_EQ(fresh.pitch, c.pitch);
        EXPECT_FLOAT_EQ(fresh.x, c.x);
        EXPECT_FLOAT_EQ(fresh.y, c.y);
        EXPECT_FLOAT_EQ(fresh.z, c.z);
    }
}

TEST_F(CameraTest, LastMotionRepeatsWhileButtonHeld)
{
    cam.speed = 1.0f;
    input.mouseX = 4; // a motion of (4, 0), then the button goes down
    input.buttons = L;
    for (int frame = 0; frame < 3; ++frame)
        cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 6.0f);
    input.prevMouseX = input.mouseX; // a new motion event of (0, 0) replaces the difference
    cam.Update(input);
    EXPECT_FLOAT_EQ(cam.yaw, 6.0f);
}

// The two modes the viewer never selects: arrows and mouse turn, keys move along the heading.
TEST_F(CameraTest, FlyAndMouseLookModes)
{
    cam.SetMode(CAMERA_FLY);
    cam.speed = 2.0f;
    cam.yaw = 90.0f;
    input.keys[SDLK_RIGHT] = 1;
    input.keys[SDLK_w] = 1;
    input.buttons = L; // the mouse turns nothing here
    input.mouseX = input.mouseY = 10;
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
