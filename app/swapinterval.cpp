// Swap-interval control through the GLX swap-control extensions. The entry points are fetched
// with glXGetProcAddress, which answers a stub for any name, so each one is taken only when
// its extension is listed for the display.
#include "app/swapinterval.h"

#include <GL/glx.h>

#include <cstring>

namespace
{
typedef void (*SwapIntervalEXTFn)(Display* display, GLXDrawable drawable, int interval);
typedef int (*SwapIntervalMESAFn)(unsigned int interval);
typedef int (*SwapIntervalSGIFn)(int interval);

SwapIntervalEXTFn swapEXT = nullptr;
SwapIntervalMESAFn swapMESA = nullptr;
SwapIntervalSGIFn swapSGI = nullptr;
bool tearAllowed = false; // negative intervals (late swaps tear) are valid

// Whole-word search in a blank-separated extension list.
bool HasExtension(const char* list, const char* name)
{
    if (!list)
        return false;
    size_t length = strlen(name);
    for (const char* p = strstr(list, name); p; p = strstr(p + 1, name))
    {
        bool startOk = p == list || p[-1] == ' ';
        bool endOk = p[length] == '\0' || p[length] == ' ';
        if (startOk && endOk)
            return true;
    }
    return false;
}

void* Proc(const char* name)
{
    return reinterpret_cast<void*>(glXGetProcAddress(reinterpret_cast<const GLubyte*>(name)));
}

// A value the extension rejects would raise an X protocol error, which ends the process, so
// such values are refused here.
bool CallEXT(int interval)
{
    if (interval < 0 && !tearAllowed)
        return false;
    Display* display = glXGetCurrentDisplay();
    GLXDrawable drawable = glXGetCurrentDrawable();
    if (!display || !drawable)
        return false;
    swapEXT(display, drawable, interval);
    return true;
}

bool CallMESA(int interval)
{
    if (interval < 0)
        return false;
    return swapMESA(static_cast<unsigned int>(interval)) == 0;
}

bool CallSGI(int interval)
{
    // This extension cannot switch the wait off: 0 is not a valid interval for it.
    if (interval <= 0)
        return false;
    return swapSGI(interval) == 0;
}
} // namespace

SwapIntervalFn LookUpSwapInterval()
{
    Display* display = glXGetCurrentDisplay();
    if (!display || !glXGetCurrentContext())
        return nullptr;
    const char* list = glXQueryExtensionsString(display, DefaultScreen(display));
    if (HasExtension(list, "GLX_EXT_swap_control"))
    {
        swapEXT = reinterpret_cast<SwapIntervalEXTFn>(Proc("glXSwapIntervalEXT"));
        tearAllowed = HasExtension(list, "GLX_EXT_swap_control_tear");
        if (swapEXT)
            return CallEXT;
    }
    if (HasExtension(list, "GLX_MESA_swap_control"))
    {
        swapMESA = reinterpret_cast<SwapIntervalMESAFn>(Proc("glXSwapIntervalMESA"));
        if (swapMESA)
            return CallMESA;
    }
    if (HasExtension(list, "GLX_SGI_swap_control"))
    {
        swapSGI = reinterpret_cast<SwapIntervalSGIFn>(Proc("glXSwapIntervalSGI"));
        if (swapSGI)
            return CallSGI;
    }
    return nullptr;
}
