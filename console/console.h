// The console: named commands, variables and actions, the key bindings that fire the actions,
// and the drop-down text display with its line editor, history and name completion.
#pragma once

#include "platform/configfile.h"
#include "platform/varlistener.h"
#include "console/convar.h"
#include "fs/mgrbase.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

class cFont;
class memfile_t;

// Key codes: SDL 1.2 key symbols 0 to 321, then mouse buttons and joystick buttons.
enum
{
    KEY_BACKSPACE = 8,
    KEY_TAB = 9,
    KEY_CLEAR = 12,
    KEY_RETURN = 13,
    KEY_PAUSE = 19,
    KEY_ESCAPE = 27,
    KEY_SPACE = 32,
    KEY_DELETE = 127,
    KEY_KP_PERIOD = 266,
    KEY_KP_DIV = 267,
    KEY_KP_MUL = 268,
    KEY_KP_MINUS = 269,
    KEY_KP_PLUS = 270,
    KEY_UP = 273,
    KEY_DOWN = 274,
    KEY_RIGHT = 275,
    KEY_LEFT = 276,
    KEY_INS = 277,
    KEY_HOME = 278,
    KEY_END = 279,
    KEY_PGUP = 280,
    KEY_PGDN = 281,
    KEY_F1 = 282, // Fn is KEY_F1 + n - 1, up to F12
    KEY_F12 = 293,
    KEY_RSHIFT = 303,
    KEY_LSHIFT = 304,
    KEY_RCTRL = 305,
    KEY_LCTRL = 306,
    KEY_RALT = 307,
    KEY_LALT = 308,
    KEY_MOUSE1 = 322,
    KEY_MOUSE2 = 323,
    KEY_MOUSE3 = 324,
    KEY_MWHEELDN = 327,
    KEY_MWHEELUP = 328,
    KEY_JOY1 = 330, // JOYn is KEY_JOY1 + n - 1, up to JOY32
    KEY_JOY32 = 361,
    CON_NUM_KEYS = 362
};

// Layout and limits of the console.
const int CON_HEIGHT = 300;   // pixels; the slide starts this far above the window
const float CON_REST = 30.0f; // the slide stops once the offset reaches this
const float CON_SLIDE_STEP = 5.1f;
const int CON_LINE_HEIGHT = 14;
const int CON_MAX_LINES = 100;   // output lines and history: this many kept before adding one
const int CON_MAX_INPUT = 511;   // characters of the input line
const int CON_MAX_WORD = 128;    // the first word of a line must be shorter
const int CON_MAX_OUTPUT = 1024; // a formatted output line is cut to 1023 characters
const int CON_MAX_KEYNAME = 32;  // key names stored in a binding are shorter
const int CON_MAX_ACTION = 64;   // action names are shorter
// Scripts that run scripts: how deep they may nest, and how many lines the scripts run from
// one outermost script may run in all (a script that runs another many times would otherwise
// fan out without end). The outermost script's own lines are not counted: a long flat script
// always runs to its end.
const int CON_MAX_EXEC_DEPTH = 8;
const int CON_MAX_EXEC_LINES = 65536;

// Ids of the console's own commands.
enum
{
    CMD_HELP = 0,
    CMD_VARS = 1,
    CMD_CLEAR = 2,
    CMD_CONCOLOR = 3,
    CMD_ECHO = 4,
    CMD_EXEC = 5,
    CMD_GLEXT = 6,
    CMD_BIND = 7,
    CMD_UNBIND = 8,
    CMD_UNBINDALL = 9,
    CMD_BINDINGS = 10,
    CMD_ACTS = 11,
    CMD_TOGGLE = 12
};

// The arguments of one command line. Argument 0 is the whole text; argument i starts after the
// i-th blank and, like every argument, runs to the end of the text.
class ConArgs
{
  public:
    ConArgs() {}
    // Leading blanks and tabs of text are skipped; null gives no arguments at all.
    explicit ConArgs(const char* text);
    ConArgs(const ConArgs&) = delete;
    ConArgs& operator=(const ConArgs&) = delete;

    const char* Text() const { return text.get(); } // null when the line had no argument text
    int Count() const { return count; }
    // Argument i to the end of the text, or null when there is no such argument.
    const char* Arg(int i) const;
    // Copies argument i up to its first blank into out (size bytes, cut to fit); false when
    // there is no such argument or the word does not fit.
    bool Word(int i, char* out, size_t size) const;

    char separator = ' ';

  private:
    std::unique_ptr<char[]> text;
    int16_t count = 0;
    std::unique_ptr<const char*[]> args;
};

struct ConCommand
{
    int32_t id = 0;
    std::string name;
    VarListener* owner = nullptr;
};

// A named action and what it does: any callable, usually bound to the object it acts on.
struct ConAction
{
    char name[CON_MAX_ACTION] = {};
    std::function<void()> callback;
};

struct KeyBinding
{
    char keyName[CON_MAX_KEYNAME] = {}; // as typed in the bind line; kept when unbound
    ConAction* action = nullptr;
};

// What a command offers to complete its argument: given the text typed after the command and
// a blank, it appends whole command lines to out, at most limit of them.
using ConArgCompleter = std::function<void(const char* typed, size_t limit, std::vector<std::string>& out)>;

// A key name as bound: the code of a one-character name, else the named key's code, else 0.
int KeyLookup(const char* name);

class Console : public VarListener, public MgrBase
{
  public:
    Console();
    ~Console() override;

    // Registers the built-in commands, the action "contoggle" and the variable "autocom".
    bool Init() override;
    // Forgets everything registered, bound, printed or typed (tests start from here).
    void Reset();

    bool OnCommand(int id, ConArgs* args) override;

    // Variables stay owned by the caller; owner may be null, flags -1 keeps the stored flags.
    void RegisterVar(const char* name, ConVar* var, VarListener* owner, int flags);
    void RegisterCommand(const char* name, int id, VarListener* owner);
    void RegisterAction(const char* name, std::function<void()> callback);
    // Lets the command called name offer completions of its argument; a null completer stops it.
    void SetArgCompleter(const char* name, ConArgCompleter completer);

    // Reads the variables file (for later registrations) and makes its key bindings.
    bool LoadConfig(const char* path);
    // Runs a command or variable line; true when its first word names one.
    bool Execute(const char* line);
    // Runs every "key value" line of a script.
    bool ExecFile(memfile_t& file);
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Fires the action bound to code, if any.
    void KeyPressed(int code);
    void Toggle();
    // Flips a number or bool variable between 0 and 1 as if "name 0" or "name 1" were typed
    // (its owner is asked); the command "toggle <name>".
    void ToggleVar(const char* name);
    // On: a key bound to contoggle closes the open console instead of typing its character.
    // Off (the default): while open every key types.
    void SetToggleKeysClose(bool on) { toggleKeysClose = on; }
    // One key press while the console is open; modifiers are not used. A key bound to
    // contoggle closes the console when SetToggleKeysClose is on.
    void KeyInput(int code, int modifiers);
    // Draws the console text for one frame (the background is the caller's).
    void Draw(cFont& font, int width, int height);

    bool IsOpen() const { return open; }
    float SlideOffset() const { return slideOffset; }

    // State for display and for tests.
    const ConVar* FindVar(const char* name) const;
    // The slot of code; an empty slot for codes outside 0 to CON_NUM_KEYS - 1.
    const KeyBinding& Binding(int code) const;
    const std::deque<std::string>& Lines() const { return lines; } // newest first
    const std::deque<std::string>& History() const { return history; }
    const std::vector<std::string>& Completions() const { return completions; }
    const char* Input() const { return input; }
    int Page() const { return page; }
    int PageCount() const { return pageCount; }
    const float* Color() const { return color; }
    const std::vector<ConCommand>& Commands() const { return commands; }
    const std::vector<ConVar*>& Vars() const { return vars; }
    const std::list<ConAction>& Actions() const { return actions; }

  private:
    void Bind(ConArgs* args);
    void Unbind(ConArgs* args);
    void UnbindAll();
    void ListBindings();
    void ExecPath(const char* path);
    // The steps of KeyInput; each answers whether the key was its own.
    bool BrowseKey(int code);
    bool EditKey(int code);
    bool ShortcutKey(int code);
    void TypeKey(int code);
    void RunInput();
    void ListExtensions();
    void PrintText(const char* text);
    void AddHistory(const char* line);
    void SetInput(const char* text);
    void RebuildCompletions();
    void ClearOutput();
    // The value of the variables file's first pair named name (any case), or null.
    const char* ConfigValue(const char* name) const;
    void ResetConfig();

    bool open = false;
    std::vector<ConCommand> commands;
    std::vector<ConVar*> vars;
    std::list<ConAction> actions; // a list, so bindings can point into it
    KeyBinding bindings[CON_NUM_KEYS];
    // The pairs of the variables file, kept for variables registered after it was read.
    ConfigFile config{' '};

    std::vector<std::string> completions;
    std::vector<std::pair<std::string, ConArgCompleter>> argCompleters;
    std::deque<std::string> lines;
    std::deque<std::string> history;
    int recall = 0;
    char input[CON_MAX_INPUT + 1] = {};
    int inputLength = 0;
    int page = 0;
    int pageCount = 1;
    int lineHeight = CON_LINE_HEIGHT;
    int linesPerPage = CON_HEIGHT / CON_LINE_HEIGHT;
    float color[3] = {0.4f, 0.4f, 0.4f};
    float slideOffset = -CON_HEIGHT;
    // Scripts being run, innermost last, and the lines run since the outermost one started.
    std::vector<std::string> execStack;
    int execLines = 0;
    ConVar autocom;
    bool toggleKeysClose = false;
};

extern Console gConsole;
