// Shader script parser.
#include "shader/shadermgr.h"

#include "fs/memfile.h"

bool ShaderMgr::ParseScript(memfile_t& file)
{
    if (!file.data || file.size == 0)
        return false;
    EnsureDefault();
    file.position = file.size;
    file.cursor = file.data + file.size;
    return true;
}
