// The interface through which the console calls back the owner of a variable or command.
#pragma once

struct ConVar;
class ConArgs;

class VarListener
{
  public:
    virtual ~VarListener() {}
    // A command registered with this owner was run; the result is not used.
    virtual bool OnCommand(int id, ConArgs* args)
    {
        (void)id;
        (void)args;
        return false;
    }
    // A command line names one of the owner's variables; true lets the console apply it.
    virtual bool OnVariableChange(ConVar* var, ConArgs* args)
    {
        (void)var;
        (void)args;
        return false;
    }
};
