// Shader scripts on arbitrary bytes: the script is parsed into the library, then every shader it
// named is made ready as a draw would (no image files exist, so no texture is uploaded).
#include "fs/memfile.h"
#include "fuzzsupport.h"
#include "shader/shadermgr.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzWorkDir();
    FuzzResetManagers();
    gShaderMgr.Init();
    memfile_t file(data, static_cast<uint32_t>(size), "scripts/fuzz.shader", false);
    gShaderMgr.ParseScript(file);
    std::vector<std::string> names;
    for (const cShader& shader : gShaderMgr.shaders)
        names.push_back(shader.name);
    for (const std::string& name : names)
    {
        int i = gShaderMgr.Load(name.c_str());
        if (i < 0 || static_cast<size_t>(i) >= gShaderMgr.shaders.size())
            abort();
    }
    // A second parse of the same text only adds records under names already taken.
    memfile_t again(data, static_cast<uint32_t>(size), "scripts/fuzz.shader", false);
    gShaderMgr.ParseScript(again);
    gShaderMgr.Reset();
    return 0;
}
