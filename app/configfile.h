// Kept so older includes still find the configfile; it lives in the platform layer.
#pragma once
#include "platform/configfile.h"
