// Kept so older includes still find the log; it lives in the platform layer.
#pragma once
#include "platform/log.h"
