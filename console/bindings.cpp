// Actions, the key name table and the key bindings that fire actions.
#include "console/console.h"

#include "platform/log.h"

#include <cstring>
#include <strings.h>

namespace
{
struct sKeyName
{
    const char* name;
    int code;
};

// Searched in this order; letters, digits and punctuation are one-character names instead.
const sKeyName keyNames[] = {
    {"BACKSPACE", 8}, {"TAB", 9},      {"CLEAR", 12},     {"RETURN", 13},    {"PAUSE", 19},
    {"SPACE", 32},    {"DELETE", 127}, {"UP", 273},       {"DOWN", 274},     {"RIGHT", 275},
    {"LEFT", 276},    {"INS", 277},    {"HOME", 278},     {"END", 279},      {"PGUP", 280},
    {"PGDN", 281},    {"F1", 282},     {"F2", 283},       {"F3", 284},       {"F4", 285},
    {"F5", 286},      {"F6", 287},     {"F7", 288},       {"F8", 289},       {"F9", 290},
    {"F10", 291},     {"F11", 292},    {"F12", 293},      {"RSHIFT", 303},   {"LSHIFT", 304},
    {"RALT", 307},    {"LALT", 308},   {"RCTRL", 305},    {"LCTRL", 306},    {"KP_PERIOD", 266},
    {"KP_DIV", 267},  {"KP_MUL", 268}, {"KP_MINUS", 269}, {"KP_PLUS", 270},  {"MOUSE1", 322},
    {"MOUSE2", 323},  {"MOUSE3", 324}, {"MWHEELUP", 328}, {"MWHEELDN", 327}, {"JOY1", 330},
    {"JOY2", 331},    {"JOY3", 332},   {"JOY4", 333},     {"JOY5", 334},     {"JOY6", 335},
    {"JOY7", 336},    {"JOY8", 337},   {"JOY9", 338},     {"JOY10", 339},    {"JOY11", 340},
    {"JOY12", 341},   {"JOY13", 342},  {"JOY14", 343},    {"JOY15", 344},    {"JOY16", 345},
    {"JOY17", 346},   {"JOY18", 347},  {"JOY19", 348},    {"JOY20", 349},    {"JOY21", 350},
    {"JOY22", 351},   {"JOY23", 352},  {"JOY24", 353},    {"JOY25", 354},    {"JOY26", 355},
    {"JOY27", 356},   {"JOY28", 357},  {"JOY29", 358},    {"JOY30", 359},    {"JOY31", 360},
    {"JOY32", 361},
};

// Copies the key name (argument 0 up to its first blank); false, with a message, when it is
// too long to be stored in a binding.
bool KeyWord(const ConArgs* args, char (&name)[CON_MAX_KEYNAME])
{
    if (args->Word(0, name, sizeof name))
        return true;
    return DebugLog("Console:: key name too long : %s...", name);
}
} // namespace

int KeyLookup(const char* name)
{
    if (!name)
        return 0;
    // Read as unsigned, a one-character name always lands inside the 362 slots.
    if (name[0] && !name[1])
        return static_cast<unsigned char>(name[0]);
    for (const sKeyName& k : keyNames)
        if (strcasecmp(k.name, name) == 0)
            return k.code;
    return 0;
}

// Actions are found by name ignoring case, but sorted by bytes like every registry here.
void Console::RegisterAction(const char* name, std::function<void()> callback)
{
    if (!name)
        return;
    if (strlen(name) >= sizeof(ConAction::name))
    {
        DebugLog("Console:: action name too long : %.63s...", name);
        return;
    }
    auto place = actions.begin();
    while (place != actions.end() && strcmp(place->name, name) <= 0)
        ++place;
    ConAction& action = *actions.emplace(place);
    strcpy(action.name, name);
    action.callback = std::move(callback);
}

// bind KEY ACTION: both are single words; the rest of the line is ignored. An action that
// does not exist is reported and leaves the slot as it was.
void Console::Bind(ConArgs* args)
{
    if (args->Count() < 2)
        return;
    char keyName[CON_MAX_KEYNAME];
    if (!KeyWord(args, keyName))
        return;
    const char* actionName = args->Arg(1);
    size_t actionLength = strcspn(actionName, " ");
    int code = KeyLookup(keyName);

    ConAction* found = nullptr;
    for (ConAction& a : actions)
    {
        // Stored names are shorter than the field, so a longer word never matches.
        if (actionLength < sizeof a.name && strncasecmp(a.name, actionName, actionLength) == 0 &&
            a.name[actionLength] == 0)
        {
            found = &a;
            break;
        }
    }
    if (!found)
    {
        Print("unknown action \"%.*s\"", static_cast<int>(std::min<size_t>(actionLength, CON_MAX_OUTPUT)),
              actionName);
        return;
    }
    strcpy(bindings[code].keyName, keyName);
    bindings[code].action = found;
}

void Console::Unbind(ConArgs* args)
{
    if (args->Count() < 1)
        return;
    char keyName[CON_MAX_KEYNAME];
    if (KeyWord(args, keyName))
        bindings[KeyLookup(keyName)].action = nullptr;
}

void Console::UnbindAll()
{
    for (KeyBinding& b : bindings)
        b.action = nullptr;
}

// Bound keys by code, under the name they were bound with.
void Console::ListBindings()
{
    for (const KeyBinding& b : bindings)
        if (b.action)
            Print("%s->%s", b.keyName, b.action->name);
}

const KeyBinding& Console::Binding(int code) const
{
    static const KeyBinding none;
    return code >= 0 && code < CON_NUM_KEYS ? bindings[code] : none;
}

void Console::KeyPressed(int code)
{
    if (code < 0 || code >= CON_NUM_KEYS)
        return;
    const ConAction* action = bindings[code].action;
    if (action && action->callback)
        action->callback();
}
