// The application base class: owns the window, the frame timing and the dispatch of input, and
// runs the program from start-up through the frame loop to the orderly end.
#pragma once

#include "app/appsettings.h"
#include "platform/varlistener.h"
#include "app/swapinterval.h"
#include "text/font.h"

#include <cstdint>
#include <memory>

struct SDL_Surface;

const int INPUT_NUM_KEYS = 512;
const int INPUT_KEYS_COPIED = 321; // SDL 1.2 key symbols below this are taken every frame

// Bits of InputState::buttons for the held mouse buttons.
const uint32_t INPUT_BUTTON_LEFT = 0x10000;
const uint32_t INPUT_BUTTON_RIGHT = 0x20000;
const uint32_t INPUT_BUTTON_MIDDLE = 0x40000;

// The snapshot of keyboard and mouse that the hooks read. keys comes first: OnKeyState hands
// out a pointer to the whole record.
struct InputState
{
    uint8_t keys[INPUT_NUM_KEYS] = {};
    int32_t mouseX = 0;
    int32_t mouseY = 0;
    int32_t prevMouseX = 0;
    int32_t prevMouseY = 0;
    uint32_t buttons = 0;
};

// Seconds between frames, from the performance counter or, without one, the millisecond clock.
struct FrameTimer
{
    FrameTimer();
    // Takes the reading that the next call of Elapsed counts from.
    void Start();
    // Seconds since the previous reading; the new reading becomes the previous one.
    float Elapsed();

    int64_t startCounter = 0; // the previous reading
    int64_t currentCounter = 0;
    double secondsPerTick = 0.0;
    uint32_t msStamp = 0;
    bool hasCounter = false;
};

class App : public VarListener
{
  public:
    App();
    ~App() override;
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    // Hooks, in slot order after the two listener operations.
    bool OnVariableChange(ConVar* var, ConArgs* args) override;
    virtual bool OnInit() { return true; }
    virtual bool OnQuit() { return true; }
    virtual void OnResize() {}
    virtual void Render() {}
    virtual void Render2D() {}
    virtual void PreFrame() {}
    virtual void Update(float seconds, float factor)
    {
        (void)seconds;
        (void)factor;
    }
    virtual void OnKeyUp(uint32_t sym, uint32_t mod)
    {
        (void)sym;
        (void)mod;
    }
    virtual void OnKeyDown(uint32_t sym, uint32_t mod)
    {
        (void)sym;
        (void)mod;
    }
    virtual void OnMouseDown(int button, int x, int y)
    {
        (void)button;
        (void)x;
        (void)y;
    }
    virtual void OnMouseUp(int button, int x, int y)
    {
        (void)button;
        (void)x;
        (void)y;
    }
    virtual void OnMouseMove(int x, int y, int halfWidth, int halfHeight)
    {
        (void)x;
        (void)y;
        (void)halfWidth;
        (void)halfHeight;
    }
    virtual void OnMouseDelta(int dx, int dy)
    {
        (void)dx;
        (void)dy;
    }
    virtual void OnKeyState(InputState* state) { (void)state; }
    // Puts OpenGL into the framework's default state; called once during video set-up.
    virtual void InitGL();

    // Reads the settings file (a missing one keeps the defaults) and sets up video.
    bool Init(const char* settingsFile);
    // Opens the window with its OpenGL context and brings every subsystem up; false when
    // no window could be made.
    bool SetupVideo(const AppSettings& newSettings);
    // The frame loop; returns when the event pump reports the end.
    void Run();
    // Handles every pending event; false when the program is to end.
    bool PumpEvents();
    // Viewport and perspective projection for a window of this size.
    void Resize(int width, int height);
    // Closes the log files and SDL.
    void Shutdown();
    // Asks the driver for a swap interval; nothing happens where it offers no way to.
    void SetSwapInterval(int interval);

    bool IsActive() const { return active; }
    cFont& Font() { return font; }
    InputState& Input() { return input; }
    AppSettings& Settings() { return settings; }
    float FrameFactor() const { return frameFactor; }
    SDL_Surface* Surface() const { return surface; }

  protected:
    bool active = false;
    cFont font;
    InputState input;
    FrameTimer timer;
    SDL_Surface* surface = nullptr;
    AppSettings settings;
    float targetFps = 60.0f;
    int64_t counterFrequency = 0;
    int64_t frameNow = 0;
    int64_t framePrev = 0;
    float frameFactor = 1.0f;

  private:
    void DrawFrame();
    void IdleFrame();
    void MeasureFrame(float* seconds);
    void DrawConsole();
    void HandleKeyDown(uint32_t sym, uint32_t mod);
    void HandleResize(int width, int height);

    uint32_t videoFlags = 0;
    SwapIntervalFn swapInterval = nullptr;
};

// The program's life around one application object: Init with the settings file, the frame
// loop, Shutdown. Answers the process exit status (non-zero when video set-up failed).
int AppMain(App& app, const char* settingsFile);
