// A console variable: typed value, the text shown to the user, and the first text it held.
#pragma once

#include <cstdint>
#include <string>

class VarListener;

enum
{
    CONVAR_INT = 1,
    CONVAR_FLOAT = 2,
    CONVAR_BOOL = 3,
    CONVAR_TEXT = 4
};

// Value texts are formatted through a 256-byte area: longer texts are cut to 255 characters.
const int CONVAR_MAX_TEXT = 255;

struct ConVar
{
    std::string name;
    std::string valueText;
    int32_t flags = 0;
    union
    {
        int32_t i;
        float f;
        bool b;
    } value = {0};
    VarListener* owner = nullptr;
    std::string defaultText;
    int32_t type = CONVAR_TEXT;

    // Assigns a value given as text, by type; nothing happens when text is null.
    void Set(const char* text);
    // Assigns a small integer, printed with "%d".
    void Set(int number);

    int Int() const { return value.i; }
    float Float() const { return value.f; }
    bool Bool() const { return value.b; }
};
