// The driver's swap-interval control (how many display refreshes a buffer swap waits for),
// found by name at run time because not every OpenGL driver offers it.
#pragma once

// Sets the swap interval of the current drawable; false when the driver refused the value.
typedef bool (*SwapIntervalFn)(int interval);

// Looks up the swap-control entry point of the current OpenGL context. Answers null when
// there is no current context or the driver offers none of the known extensions.
SwapIntervalFn LookUpSwapInterval();
