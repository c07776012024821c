// Camera movement from the input state, and the two ways of applying it to the modelview matrix.
#include "viewer/camera.h"

#include "app/app.h"

#include <SDL.h>
#include <GL/gl.h>
#include <algorithm>
#include <cmath>

namespace
{
const float PI = 3.14159265358979f;

// True while the key is held in either letter case.
bool Held(const InputState& input, int lower) { return input.keys[lower] || input.keys[lower - 32]; }
} // namespace

void Camera::Update(InputState& input)
{
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    int centreX = static_cast<int>(viewport[2] * 0.5f);
    int centreY = static_cast<int>(viewport[3] * 0.5f);
    step = speed;
    SDL_ShowCursor(1);

    // The difference of the last two motion events: it is applied again in every frame a
    // button is held, until the next motion event brings a new one. Without the repeat: the
    // motion since the last frame.
    int dx = dragRepeat ? input.mouseX - input.prevMouseX : motionX;
    int dy = dragRepeat ? input.mouseY - input.prevMouseY : motionY;
    motionX = motionY = 0;

    if (mode == CAMERA_EXAMINE)
        MoveExamine(input, dx, dy);
    else if (mode == CAMERA_FLY)
    {
        if (input.keys[SDLK_LEFT])
            yaw -= step;
        if (input.keys[SDLK_RIGHT])
            yaw += step;
        if (input.keys[SDLK_UP])
            pitch -= step;
        if (input.keys[SDLK_DOWN])
            pitch += step;
    }
    else if (mode == CAMERA_MOUSELOOK)
        Look(input, centreX, centreY);

    if (yaw < 0.0f)
        yaw += 360.0f;
    if (yaw >= 360.0f)
        yaw -= 360.0f;

    MoveWithKeys(input);
}

// Examine mode: middle button pans, right button zooms, left button turns the model.
void Camera::MoveExamine(const InputState& input, int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    if (input.buttons & INPUT_BUTTON_MIDDLE)
    {
        x -= speed * 0.2f * dx;
        y += speed * 0.2f * dy;
    }
    else if (input.buttons & INPUT_BUTTON_RIGHT)
        z += speed * 0.2f * dy;
    else if (input.buttons & INPUT_BUTTON_LEFT)
    {
        pitch += dy * 0.5f;
        yaw += dx * 0.5f;
    }
}

// Mouse-look mode: the pointer's distance from the window centre turns the view, and the
// pointer is put back to the centre.
void Camera::Look(InputState& input, int centreX, int centreY)
{
    SDL_ShowCursor(0);
    yaw += (input.mouseX - centreX) * sensitivity;
    pitch += (input.mouseY - centreY) * sensitivity;
    input.prevMouseX = input.mouseX;
    input.prevMouseY = input.mouseY;
    input.mouseX = centreX;
    input.mouseY = centreY;
    SDL_WarpMouse(static_cast<Uint16>(centreX), static_cast<Uint16>(centreY));
}

void Camera::MoveWithKeys(const InputState& input)
{
    if (Held(input, SDLK_t))
        y += speed;
    if (Held(input, SDLK_g))
        y -= speed;

    const int moveKeys[4] = {SDLK_w, SDLK_s, SDLK_a, SDLK_d};
    if (mode == CAMERA_EXAMINE)
    {
        // Along the axes: forward is towards -z.
        const float moveX[4] = {0.0f, 0.0f, -1.0f, 1.0f};
        const float moveZ[4] = {-1.0f, 1.0f, 0.0f, 0.0f};
        for (int k = 0; k < 4; ++k)
            if (Held(input, moveKeys[k]))
            {
                x += moveX[k] * speed;
                z += moveZ[k] * speed;
            }
        return;
    }
    // Along the heading: forward, back, left and right of the current yaw.
    const float headingOffset[4] = {0.0f, 180.0f, 270.0f, 90.0f};
    for (int k = 0; k < 4; ++k)
        if (Held(input, moveKeys[k]))
        {
            float h = (yaw + headingOffset[k]) * PI / 180.0f;
            x += std::sin(h) * speed;
            z -= std::cos(h) * speed;
        }
}

void Camera::ApplyEyeView()
{
    glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(roll, 0.0f, 0.0f, 1.0f);
    glTranslatef(-x, -y, -z);
}

void Camera::ApplyObjectView()
{
    glTranslatef(-x, -y, -z);
    glRotatef(pitch, 1.0f, 0.0f, 0.0f);
    glRotatef(yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(roll, 0.0f, 0.0f, 1.0f);
}

void Camera::Zoom(int steps)
{
    const float step = std::max(1.0f, std::fabs(z) * 0.1f);
    z -= steps * step;
}

void Camera::AddMotion(int dx, int dy)
{
    motionX += dx;
    motionY += dy;
}
