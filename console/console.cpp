// The console object: registries and start-up (the full behaviour follows).
#include "console/console.h"

Console gConsole;

ConArgs::ConArgs(const char*) {}
const char* ConArgs::Arg(int) const { return nullptr; }
bool ConArgs::Word(int, char*, size_t) const { return false; }

int KeyLookup(const char*) { return 0; }

Console::Console() {}
Console::~Console() {}
bool Console::Init() { return true; }
void Console::Reset() {}
bool Console::OnCommand(int, ConArgs*) { return false; }
void Console::RegisterVar(const char*, ConVar*, VarListener*, int) {}
void Console::RegisterCommand(const char*, int, VarListener*) {}
void Console::RegisterAction(const char*, void (*)()) {}
bool Console::LoadConfig(const char*) { return false; }
bool Console::Execute(const char*) { return false; }
bool Console::ExecFile(memfile_t&) { return false; }
void Console::Print(const char*, ...) {}
void Console::KeyPressed(int) {}
void Console::Toggle() {}
void Console::KeyInput(int, int) {}
void Console::Draw(cFont&, int, int) {}
const ConVar* Console::FindVar(const char*) const { return nullptr; }
