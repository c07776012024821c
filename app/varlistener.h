// Kept so older includes still find the varlistener; it lives in the platform layer.
#pragma once
#include "platform/varlistener.h"
