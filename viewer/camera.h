// The viewer's camera: a position and three angles, moved once per frame from the held keys
// and the mouse, and applied to the modelview matrix before the model is drawn.
#pragma once

struct InputState;

// Camera modes: turn the model about its origin, fly with the arrow keys, look with the mouse.
enum
{
    CAMERA_EXAMINE = 0,
    CAMERA_FLY = 1,
    CAMERA_MOUSELOOK = 2
};

class Camera
{
  public:
    virtual ~Camera() {}

    // One frame of movement from the input state (held keys, last mouse motion, buttons).
    virtual void Update(InputState& input);
    virtual void SetMode(int newMode) { mode = newMode; }
    // First-person view: the world turns about the eye.
    virtual void ApplyEyeView();
    // Examine view: the model turns about its own origin in front of the eye.
    virtual void ApplyObjectView();

    // Mouse wheel steps (positive: towards the model), each a tenth of the distance, at least
    // one unit.
    void Zoom(int steps);
    // Pointer motion of one event; with dragRepeat off the examine mode turns, pans and zooms
    // by the motion gathered since the last frame, and by nothing in a frame without motion.
    void AddMotion(int dx, int dy);

    float speed = 5.0f;        // distance per frame for keys, base of mouse pan and zoom
    float step = 0.0f;         // degrees per frame for the arrow keys of the fly mode
    float sensitivity = 0.15f; // degrees per pixel of the mouse-look mode
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float pitch = 0.0f, yaw = 0.0f, roll = 0.0f;
    int mode = CAMERA_FLY;
    // On: every frame with a button held repeats the last two motion events' difference.
    bool dragRepeat = true;
    int motionX = 0, motionY = 0; // gathered since the last frame

  private:
    void MoveExamine(const InputState& input, int dx, int dy);
    void Look(InputState& input, int centreX, int centreY);
    void MoveWithKeys(const InputState& input);
};
