// Shared set-up for the console tests: a freshly initialised global console with the
// application's three float variables registered, and a few recording actions.
#pragma once

#include "console/console.h"
#include "fs/filemgr.h"

#include <gtest/gtest.h>
#include <string>

class ConsoleTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        gFileMgr.Reset();
        gConsole.Reset();
        gConsole.Init();
        for (ConVar* v : {&fov, &zNear, &zFar})
            v->type = CONVAR_FLOAT;
        fov.Set("60");
        zNear.Set("0.5");
        zFar.Set("10000");
        gConsole.RegisterVar("fov", &fov, nullptr, -1);
        gConsole.RegisterVar("near", &zNear, nullptr, -1);
        gConsole.RegisterVar("far", &zFar, nullptr, -1);
        fired.clear();
    }
    void TearDown() override
    {
        gConsole.Reset();
        gFileMgr.Reset();
    }

    static std::string Newest() { return gConsole.Lines().empty() ? "" : gConsole.Lines().front(); }
    static void Type(const char* text)
    {
        for (const char* p = text; *p; p++)
            gConsole.KeyInput(static_cast<unsigned char>(*p), 0);
    }

    ConVar fov, zNear, zFar;
    static std::string fired; // names of the actions fired, in order
};
