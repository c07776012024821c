// Event dispatch: SDL events become the application's hooks, the console's key input and the
// key bindings.
#include "app/app.h"

#include "console/console.h"

#include <SDL.h>

namespace
{
// Held-button bit of an SDL mouse button; buttons beyond the three main ones have none.
uint32_t ButtonBit(int button)
{
    switch (button)
    {
    case SDL_BUTTON_LEFT:
        return INPUT_BUTTON_LEFT;
    case SDL_BUTTON_MIDDLE:
        return INPUT_BUTTON_MIDDLE;
    case SDL_BUTTON_RIGHT:
        return INPUT_BUTTON_RIGHT;
    default:
        return 0;
    }
}

// Binding slot of an SDL mouse button: the right button is the second one bound, the middle
// one the third. Other buttons (wheel steps) all land in slot 0.
int ButtonKeyCode(int button)
{
    switch (button)
    {
    case SDL_BUTTON_LEFT:
        return KEY_MOUSE1;
    case SDL_BUTTON_RIGHT:
        return KEY_MOUSE2;
    case SDL_BUTTON_MIDDLE:
        return KEY_MOUSE3;
    default:
        return 0;
    }
}
} // namespace

bool App::PumpEvents()
{
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event))
    {
        switch (event.type)
        {
        case SDL_ACTIVEEVENT:
            if (event.active.state & SDL_APPACTIVE)
                active = event.active.gain != 0;
            continue;
        case SDL_QUIT:
            quit = true;
            OnQuit();
            continue;
        case SDL_VIDEORESIZE:
            HandleResize(event.resize.w, event.resize.h);
            continue;
        default:
            break;
        }
        // Keyboard and mouse input that arrives while the window is iconified is dropped.
        if (!active)
            continue;
        switch (event.type)
        {
        case SDL_KEYDOWN:
            if (event.key.keysym.sym == SDLK_ESCAPE)
                quit = true;
            HandleKeyDown(event.key.keysym.sym, event.key.keysym.mod);
            break;
        case SDL_KEYUP:
            if (!gConsole.IsOpen())
                OnKeyUp(event.key.keysym.sym, event.key.keysym.mod);
            break;
        case SDL_MOUSEMOTION:
            OnMouseMove(event.motion.x, event.motion.y, settings.width / 2, settings.height / 2);
            OnMouseDelta(event.motion.xrel, event.motion.yrel);
            input.prevMouseX = input.mouseX;
            input.prevMouseY = input.mouseY;
            input.mouseX = event.motion.x;
            input.mouseY = event.motion.y;
            break;
        case SDL_MOUSEBUTTONDOWN:
            OnMouseDown(event.button.button, event.button.x, event.button.y);
            input.buttons |= ButtonBit(event.button.button);
            gConsole.KeyPressed(ButtonKeyCode(event.button.button));
            break;
        case SDL_MOUSEBUTTONUP:
            OnMouseUp(event.button.button, event.button.x, event.button.y);
            input.buttons &= ~ButtonBit(event.button.button);
            break;
        default:
            break;
        }
    }
    return !quit;
}

// A key press goes to the line editor while the console is open, otherwise to the hook and
// then to the key's binding.
void App::HandleKeyDown(uint32_t sym, uint32_t mod)
{
    if (gConsole.IsOpen())
    {
        gConsole.KeyInput(static_cast<int>(sym), static_cast<int>(mod));
        return;
    }
    OnKeyDown(sym, mod);
    if (sym < CON_NUM_KEYS)
        gConsole.KeyPressed(static_cast<int>(sym));
}
