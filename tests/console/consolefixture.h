// Shared set-up of the console tests: a fresh global console with the float variables fov and
// far and two actions that record when they fire.
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
        fov.type = farPlane.type = CONVAR_FLOAT;
        fov.Set("60");
        farPlane.Set("10000");
        gConsole.RegisterVar("fov", &fov, nullptr, -1);
        gConsole.RegisterVar("far", &farPlane, nullptr, -1);
        gConsole.RegisterAction("nextmodel", [] { fired += "n"; });
        gConsole.RegisterAction("gun", [] { fired += "g"; });
        fired.clear();
    }
    void TearDown() override
    {
        gConsole.Reset();
        gFileMgr.Reset();
    }

    // The output of one line run on a cleared console: oldest line first, each followed by '|'.
    static std::string Run(const std::string& line)
    {
        gConsole.Execute("clear");
        gConsole.Execute(line.c_str());
        std::string out;
        for (auto it = gConsole.Lines().rbegin(); it != gConsole.Lines().rend(); ++it)
            out += *it + "|";
        return out;
    }
    static void Type(const char* text)
    {
        for (const char* p = text; *p; p++)
            gConsole.KeyInput(static_cast<unsigned char>(*p), 0);
    }

    ConVar fov, farPlane;
    static inline std::string fired; // the actions fired, in order
};
