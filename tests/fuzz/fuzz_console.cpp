// Console lines on arbitrary bytes: the input as the variables file with its bind lines, each of
// its lines run as a command, the whole as a script, then every key pressed and typed.
#include "console/console.h"
#include "fs/memfile.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <string>

namespace
{
int fired = 0;
void Fire() { fired++; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzResetManagers();
    gConsole.Init();
    ConVar number, ratio, flag, text;
    number.type = CONVAR_INT;
    ratio.type = CONVAR_FLOAT;
    flag.type = CONVAR_BOOL;
    gConsole.RegisterAction("nextmodel", Fire);
    gConsole.RegisterAction("gun", Fire);

    FuzzWriteFile("convars.cfg", data, size);
    gConsole.LoadConfig("convars.cfg");
    // Variables registered after the file was read take their first values from it.
    gConsole.RegisterVar("fov", &number, nullptr, 0);
    gConsole.RegisterVar("near", &ratio, nullptr, 0);
    gConsole.RegisterVar("wire", &flag, nullptr, 0);
    gConsole.RegisterVar("name", &text, nullptr, 0);

    const std::string input(reinterpret_cast<const char*>(data), size);
    size_t start = 0;
    while (start <= input.size())
    {
        size_t end = input.find('\n', start);
        if (end == std::string::npos)
            end = input.size();
        gConsole.Execute(input.substr(start, end - start).c_str());
        start = end + 1;
    }
    {
        memfile_t script(data, static_cast<uint32_t>(size), "fuzz.cfg", false);
        gConsole.ExecFile(script);
    }
    for (int code = -1; code <= CON_NUM_KEYS; code++)
        gConsole.KeyPressed(code);

    // The bytes again, typed into the open console as key codes.
    if (!gConsole.IsOpen())
        gConsole.Toggle();
    for (size_t i = 0; i + 1 < size; i += 2)
        gConsole.KeyInput((data[i] | (data[i + 1] << 8)) % (CON_NUM_KEYS + 8), 0);
    gConsole.KeyInput(KEY_RETURN, 0);
    gConsole.Reset();
    return 0;
}
