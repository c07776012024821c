// The shader library: the record array, the name index, and loading of stage textures.
#include "shader/shadermgr.h"

ShaderMgr gShaderMgr;

bool ShaderMgr::Init()
{
    EnsureDefault();
    return true;
}

void ShaderMgr::EnsureDefault()
{
    if (!shaders.empty())
        return;
    cShader def;
    def.name = "$default";
    def.flags = SHADER_LOADED;
    def.stages.emplace_back();
    Store(def);
}

int ShaderMgr::Store(const cShader& shader)
{
    shaders.push_back(shader);
    int i = static_cast<int>(shaders.size()) - 1;
    index.emplace(shader.name, i);
    return i;
}

int ShaderMgr::Find(const char* name) const
{
    if (!name)
        return -1;
    auto it = index.find(name);
    return it == index.end() ? -1 : it->second;
}

void ShaderMgr::Reset()
{
    shaders.clear();
    index.clear();
}

int ShaderMgr::Load(const char* name)
{
    EnsureDefault();
    int i = Find(name);
    return i < 0 ? 0 : i;
}

void ShaderMgr::LoadStages(cShader&) {}
