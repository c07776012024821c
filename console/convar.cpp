// Typed assignment of console variables.
#include "console/convar.h"

#include <cstdio>
#include <cstdlib>

void ConVar::Set(const char* text)
{
    if (!text)
        return;
    char shown[CONVAR_MAX_TEXT + 1];
    switch (type)
    {
    case CONVAR_INT:
        value.i = atoi(text);
        snprintf(shown, sizeof shown, "%d", value.i);
        break;
    case CONVAR_FLOAT:
        value.f = static_cast<float>(atof(text));
        snprintf(shown, sizeof shown, "%f", value.f);
        break;
    case CONVAR_BOOL:
        value.i = 0;
        value.b = atoi(text) != 0;
        snprintf(shown, sizeof shown, "%d", value.b ? 1 : 0);
        break;
    default:
        snprintf(shown, sizeof shown, "%s", text);
        break;
    }
    valueText = shown;
    if (defaultText.empty())
        defaultText = valueText;
}

void ConVar::Set(int number)
{
    char text[32];
    snprintf(text, sizeof text, "%d", number);
    Set(text);
}
