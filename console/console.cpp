// The console object: registries, the command interpreter, output lines and the built-in
// commands.
#include "console/console.h"

#include "platform/escape.h"
#include "platform/log.h"

#include <GL/gl.h>
#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>

Console gConsole;

namespace
{
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Position of the first entry whose name compares greater than name (bytes, case-sensitive),
// so equal names keep their registration order.
template <class Container, class NameOf>
typename Container::iterator SortedPlace(Container& list, const char* name, NameOf nameOf)
{
    auto it = list.begin();
    while (it != list.end() && strcmp(nameOf(*it), name) <= 0)
        ++it;
    return it;
}
} // namespace

ConArgs::ConArgs(const char* source)
{
    if (!source)
        return;
    while (IsBlank(*source))
        source++;
    size_t length = strlen(source);
    text.reset(new char[length + 1]);
    memcpy(text.get(), source, length + 1);

    // One argument, plus one after each blank; the count field is 16 bits wide.
    size_t blanks = std::count(source, source + length, separator);
    size_t total = std::min<size_t>(blanks + 1, SHRT_MAX);
    args.reset(new const char*[total]);
    args[0] = text.get();
    size_t n = 1;
    for (char* p = text.get(); *p && n < total; p++)
        if (*p == separator)
            args[n++] = p + 1;
    count = static_cast<int16_t>(total);
}

const char* ConArgs::Arg(int i) const
{
    if (i < 0 || i >= count)
        return nullptr;
    return args[i];
}

bool ConArgs::Word(int i, char* out, size_t size) const
{
    const char* arg = Arg(i);
    if (!arg || size == 0)
        return false;
    size_t length = strcspn(arg, " ");
    snprintf(out, size, "%.*s", static_cast<int>(std::min<size_t>(length, INT_MAX)), arg);
    return length < size;
}

Console::Console() {}

Console::~Console() {}

// Start-up: the console's own commands (served by OnCommand below through their ids), the
// action that shows and hides it, no bindings, and the completion switch.
bool Console::Init()
{
    input[0] = 0;
    inputLength = 0;
    color[0] = color[1] = color[2] = 0.4f;
    lineHeight = CON_LINE_HEIGHT;
    linesPerPage = CON_HEIGHT / lineHeight;

    static const struct
    {
        const char* name;
        int id;
    } builtins[] = {{"help", CMD_HELP},         {"vars", CMD_VARS},           {"clear", CMD_CLEAR},
                    {"concolor", CMD_CONCOLOR}, {"echo", CMD_ECHO},           {"exec", CMD_EXEC},
                    {"glext", CMD_GLEXT},       {"acts", CMD_ACTS},           {"bind", CMD_BIND},
                    {"unbind", CMD_UNBIND},     {"unbindall", CMD_UNBINDALL}, {"bindings", CMD_BINDINGS},
                    {"toggle", CMD_TOGGLE}};
    for (const auto& b : builtins)
        RegisterCommand(b.name, b.id, this);
    RegisterAction("contoggle", [this] { Toggle(); });
    UnbindAll();

    autocom.type = CONVAR_BOOL;
    autocom.Set(1);
    RegisterVar("autocom", &autocom, nullptr, -1);
    return true;
}

// Back to the state after construction; Init is not run again.
void Console::Reset()
{
    open = false;
    commands.clear();
    vars.clear();
    actions.clear();
    for (KeyBinding& b : bindings)
        b = KeyBinding();
    ResetConfig();
    completions.clear();
    argCompleters.clear();
    lines.clear();
    history.clear();
    recall = 0;
    input[0] = 0;
    inputLength = 0;
    page = 0;
    pageCount = 1;
    lineHeight = CON_LINE_HEIGHT;
    linesPerPage = CON_HEIGHT / CON_LINE_HEIGHT;
    color[0] = color[1] = color[2] = 0.4f;
    slideOffset = -CON_HEIGHT;

    execLines = 0;
    execStack.clear();
    autocom = ConVar();
    toggleKeysClose = false;
}

// The variables file may already hold a value for the name: it is applied before the variable
// joins the list, so files read at start reach variables registered later.
void Console::RegisterVar(const char* name, ConVar* var, VarListener* owner, int flags)
{
    if (!var)
        return;
    if (owner)
        var->owner = owner;
    if (flags != -1)
        var->flags = flags;
    if (!name)
        return;
    var->name = name;
    if (const char* value = ConfigValue(name))
        var->Set(value);
    vars.insert(SortedPlace(vars, name, [](ConVar* v) { return v->name.c_str(); }), var);
}

void Console::RegisterCommand(const char* name, int id, VarListener* owner)
{
    if (!name)
        return;
    ConCommand command;
    command.id = id;
    command.name = name;
    command.owner = owner;
    commands.insert(SortedPlace(commands, name, [](const ConCommand& c) { return c.name.c_str(); }),
                    std::move(command));
}

const ConVar* Console::FindVar(const char* name) const
{
    for (ConVar* v : vars)
        if (name && v->name == name)
            return v;
    return nullptr;
}

// The first word (up to a blank) names a command or else a variable; whatever follows the
// blank becomes the argument list. Commands are looked up first, so they hide variables.
bool Console::Execute(const char* line)
{
    if (!line)
        return false;
    while (IsBlank(*line))
        line++;
    // Names are kept short; a longer first word cannot name anything and is refused.
    size_t wordLength = strcspn(line, " ");
    if (wordLength >= static_cast<size_t>(CON_MAX_WORD))
        return DebugLog("Console:: command name too long : %.32s...", line);
    char word[CON_MAX_WORD];
    memcpy(word, line, wordLength);
    word[wordLength] = 0;

    ConArgs args(line[wordLength] == ' ' ? line + wordLength + 1 : nullptr);

    for (const ConCommand& c : commands)
    {
        if (c.name != word)
            continue;
        // A command may register further commands, so the record is not used after the call.
        VarListener* owner = c.owner;
        int id = c.id;
        if (owner)
            owner->OnCommand(id, &args);
        return true;
    }
    // A variable line: the owner may veto the new value; the value is shown either way.
    for (ConVar* v : vars)
    {
        if (v->name != word)
            continue;
        bool apply = !v->owner || v->owner->OnVariableChange(v, &args);
        if (apply && args.Text())
            v->Set(args.Text());
        Print("%s = %s [def=%s]", v->name.c_str(), v->valueText.c_str(), v->defaultText.c_str());
        return true;
    }
    return false;
}

void Console::Print(const char* format, ...)
{
    char text[CON_MAX_OUTPUT];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    PrintText(text);
}

// Adds one line as the newest; the oldest go once more than CON_MAX_LINES are held. Names that
// commands print come from archives and files: control characters in them are shown escaped,
// so that every stored line stays one visible line.
void Console::PrintText(const char* text)
{
    while (lines.size() > static_cast<size_t>(CON_MAX_LINES))
        lines.pop_back();
    char shown[CON_MAX_OUTPUT];
    lines.emplace_front(shown, EscapeControls(shown, sizeof shown, text));
    pageCount = static_cast<int>(lines.size()) / linesPerPage + 1;
}

void Console::ClearOutput()
{
    lines.clear();
    page = 0;
    pageCount = 1;
}

// The console's own commands, by id; ids it does not know answer false.
bool Console::OnCommand(int id, ConArgs* args)
{
    ConArgs none;
    if (!args)
        args = &none;
    switch (id)
    {
    case CMD_HELP:
        PrintText(" ");
        for (const ConCommand& c : commands)
            PrintText(c.name.c_str());
        return true;
    case CMD_VARS:
        PrintText(" ");
        for (ConVar* v : vars)
            Print("%s = %s [def=%s]", v->name.c_str(), v->valueText.c_str(), v->defaultText.c_str());
        return true;
    case CMD_CLEAR:
        ClearOutput();
        return true;
    case CMD_CONCOLOR:
        if (args->Count() > 0)
        {
            // Numbers that are missing stay 0, so text without numbers gives black.
            float rgb[3] = {0, 0, 0};
            sscanf(args->Arg(0), "%f %f %f", &rgb[0], &rgb[1], &rgb[2]);
            std::copy(rgb, rgb + 3, color);
        }
        return true;
    case CMD_ECHO:
        // Without argument text there is nothing to show, so nothing is printed.
        if (args->Text())
            PrintText(args->Text());
        return true;
    case CMD_EXEC:
        PrintText(" ");
        if (args->Count() > 0)
            ExecPath(args->Arg(0));
        return true;
    case CMD_GLEXT:
        ListExtensions();
        return true;
    case CMD_BIND:
        Bind(args);
        return true;
    case CMD_UNBIND:
        Unbind(args);
        return true;
    case CMD_UNBINDALL:
        UnbindAll();
        return true;
    case CMD_BINDINGS:
        ListBindings();
        return true;
    case CMD_ACTS:
        PrintText(" ");
        for (const ConAction& a : actions)
            PrintText(a.name);
        return true;
    case CMD_TOGGLE:
        if (args->Count() > 0)
            ToggleVar(args->Arg(0));
        return true;
    default:
        return false;
    }
}

// One line per word of the extension string; a word counts when a blank follows it.
void Console::ListExtensions()
{
    const char* ext = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!ext)
        return;
    for (const char* blank = strchr(ext, ' '); blank; blank = strchr(ext, ' '))
    {
        Print("%.*s", static_cast<int>(std::min<ptrdiff_t>(blank - ext, CON_MAX_OUTPUT)), ext);
        ext = blank + 1;
    }
}
