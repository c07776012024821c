// Common base of the global managers.
#pragma once

class MgrBase
{
  public:
    virtual ~MgrBase() {}
    // Start-up operation; empty except for the console.
    virtual bool Init() { return true; }
};
