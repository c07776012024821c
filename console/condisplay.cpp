// The drop-down display: the slide, the line editor with history, paging and name completion,
// and the per-frame drawing of the text.
#include "console/console.h"

#include "text/font.h"

#include <cstring>
#include <string>
#include <strings.h>

void Console::Toggle()
{
    open = !open;
    if (open)
        slideOffset = -CON_HEIGHT;
}

// The name is one word; a variable that is not a number or a bool is left alone.
void Console::ToggleVar(const char* name)
{
    const std::string word(name, strcspn(name, " "));
    const ConVar* var = FindVar(word.c_str());
    if (!var)
    {
        Print("toggle: no variable \"%s\"", word.c_str());
        return;
    }
    if (var->type != CONVAR_INT && var->type != CONVAR_BOOL)
    {
        Print("toggle: %s is not a number", word.c_str());
        return;
    }
    const bool on = var->type == CONVAR_BOOL ? var->Bool() : var->Int() != 0;
    Execute((word + (on ? " 0" : " 1")).c_str());
}

// Executed lines, newest first; recall starts again from the newest after each new line.
void Console::AddHistory(const char* line)
{
    while (history.size() > static_cast<size_t>(CON_MAX_LINES))
        history.pop_back();
    history.emplace_front(line);
    recall = 0;
}

// Replaces the input, cut to the line's 511 characters.
void Console::SetInput(const char* text)
{
    size_t length = strnlen(text, CON_MAX_INPUT);
    memcpy(input, text, length);
    input[length] = 0;
    inputLength = static_cast<int>(length);
}

void Console::SetArgCompleter(const char* name, ConArgCompleter completer)
{
    if (!name)
        return;
    for (auto it = argCompleters.begin(); it != argCompleters.end(); ++it)
        if (it->first == name)
        {
            argCompleters.erase(it);
            break;
        }
    if (completer)
        argCompleters.emplace_back(name, std::move(completer));
}

// Offers every command and then every variable whose name begins with the input; once the
// input holds a blank, what the command's argument completer offers. A list that grows past
// one page is left as it is; a single line replaces the input when autocom is on. Built once
// per typed key, so drawing the list allocates nothing.
void Console::RebuildCompletions()
{
    completions.clear();
    if (const char* blank = static_cast<const char*>(memchr(input, ' ', inputLength)))
    {
        const size_t wordLength = static_cast<size_t>(blank - input);
        for (const auto& c : argCompleters)
            if (c.first.size() == wordLength && c.first.compare(0, wordLength, input, wordLength) == 0)
            {
                c.second(blank + 1, static_cast<size_t>(linesPerPage), completions);
                break;
            }
        if (autocom.Bool() && completions.size() == 1)
            SetInput(completions[0].c_str());
        return;
    }
    auto offer = [this](const std::string& name)
    {
        if (name.compare(0, inputLength, input, inputLength) != 0)
            return true;
        completions.push_back(name);
        return completions.size() <= static_cast<size_t>(linesPerPage);
    };
    for (const ConCommand& c : commands)
        if (!offer(c.name))
            return;
    for (const ConVar* v : vars)
        if (!offer(v->name))
            return;
    if (autocom.Bool() && completions.size() == 1)
        SetInput(completions[0].c_str());
}

// One key of the open console: paging and history first, then editing, then the function-key
// short-cuts; anything else types a character.
void Console::KeyInput(int code, int modifiers)
{
    (void)modifiers;
    if (!open)
        return;
    if (toggleKeysClose && code >= 0 && code < CON_NUM_KEYS && bindings[code].action &&
        strcasecmp(bindings[code].action->name, "contoggle") == 0 && bindings[code].action->callback)
    {
        bindings[code].action->callback();
        return;
    }
    if (!BrowseKey(code) && !EditKey(code) && !ShortcutKey(code))
        TypeKey(code);
}

// Page Up and Down page the output; Up and Down both step back through the history and wrap
// from the oldest to the newest line.
bool Console::BrowseKey(int code)
{
    switch (code)
    {
    case KEY_PGUP:
        if (page < pageCount - 1)
            page++;
        return true;
    case KEY_PGDN:
        if (page > 0)
            page--;
        return true;
    case KEY_UP:
    case KEY_DOWN:
        if (recall >= static_cast<int>(history.size()))
            recall = 0;
        if (!history.empty())
            SetInput(history[recall++].c_str());
        return true;
    default:
        return false;
    }
}

// Delete empties the line, Backspace takes its last character, Return runs it.
bool Console::EditKey(int code)
{
    switch (code)
    {
    case KEY_DELETE:
        SetInput("");
        return true;
    case KEY_BACKSPACE:
        if (inputLength > 0)
            input[--inputLength] = 0;
        if (inputLength == 0)
            completions.clear();
        return true;
    case KEY_RETURN:
        RunInput();
        return true;
    default:
        return false;
    }
}

void Console::RunInput()
{
    // The line is copied first: a command may print or type into the console.
    std::string line(input, inputLength);
    if (!Execute(line.c_str()))
        Print("unknown command/var \"%s\"", line.c_str());
    else
        AddHistory(line.c_str());
    SetInput("");
    completions.clear();
}

// F1 to F4 are short-cuts for help, vars, acts and clear; F5 switches completion. Tab, the
// side arrows and the modifier keys do nothing: shift is not used, so letters stay lower case.
bool Console::ShortcutKey(int code)
{
    static const int commandKeys[][2] = {
        {KEY_F1, CMD_HELP}, {KEY_F1 + 1, CMD_VARS}, {KEY_F1 + 2, CMD_ACTS}, {KEY_F1 + 3, CMD_CLEAR}};
    for (const auto& key : commandKeys)
        if (code == key[0])
        {
            ConArgs none;
            OnCommand(key[1], &none);
            return true;
        }
    switch (code)
    {
    case KEY_F1 + 4:
        autocom.Set(autocom.Bool() ? 0 : 1);
        return true;
    case KEY_TAB:
    case KEY_RIGHT:
    case KEY_LEFT:
    case KEY_RSHIFT:
    case KEY_LSHIFT:
    case KEY_RCTRL:
    case KEY_LCTRL:
    case KEY_RALT:
    case KEY_LALT:
        return true;
    default:
        return false;
    }
}

// Every other key types the low byte of its code. A zero byte would end the line early and
// hide what follows, so those keys type nothing.
void Console::TypeKey(int code)
{
    const char c = static_cast<char>(code & 0xFF);
    if (inputLength >= CON_MAX_INPUT || c == 0)
        return;
    input[inputLength++] = c;
    input[inputLength] = 0;
    RebuildCompletions();
}

void Console::Draw(cFont& font, int width, int height)
{
    (void)height;
    if (slideOffset < CON_REST)
        slideOffset += CON_SLIDE_STEP;
    const int top = static_cast<int>(slideOffset);
    const int step = font.lineGap + font.glyphHeight;

    // Help line and page number in the alternate glyph set.
    font.color[0] = font.color[1] = font.color[2] = 0.6f;
    font.altSet = 1;
    font.PrintAt(0, top, "%s",
                 autocom.Bool() ? "F1:help F2:vars F3:acts F4:clear F5:AC"
                                : "F1:help F2:vars F3:acts F4:clear F5:ac");
    font.PrintAt(width - 90, top, "Page %d/%d\n", page + 1, pageCount);

    font.altSet = 0;
    font.color[0] = font.color[1] = font.color[2] = 1.0f;
    const int inputY = static_cast<int>(CON_HEIGHT + slideOffset + 2);
    font.PrintAt(0, inputY, "]%s_", input);

    // Output lines go up from two steps above the input line, newest first.
    int y = inputY - step;
    size_t first = static_cast<size_t>(page) * linesPerPage;
    for (size_t i = first; i < lines.size() && i < first + linesPerPage; i++)
    {
        y -= step;
        font.PrintAt(0, y, "%s", lines[i].c_str());
    }

    font.color[0] = font.color[1] = font.color[2] = 0.3f;
    y = static_cast<int>(CON_LINE_HEIGHT + slideOffset);
    for (const std::string& name : completions)
    {
        font.PrintAt(width / 2, y, "%s", name.c_str());
        y += step;
    }

    // Leave the font as other callers expect it: white, first glyph set (an apostrophe in the
    // text above switches the set over).
    font.color[0] = font.color[1] = font.color[2] = 1.0f;
    font.altSet = 0;
}
