// The game-look switch; see gamelook.h.
#include "platform/gamelook.h"

bool gGameLook = false;
