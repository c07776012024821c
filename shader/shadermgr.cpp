// The shader library: the record array, the name index, and loading of stage textures.
#include "shader/shadermgr.h"

#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "image/texturemgr.h"
#include "platform/gamelook.h"
#include "platform/log.h"

#include <GL/gl.h>
#include <algorithm>
#include <cstring>

ShaderMgr gShaderMgr;

ShaderMgr::~ShaderMgr() { Settle(); }

bool& ShaderMgr::OnReaderThread()
{
    thread_local bool reader = false;
    return reader;
}

int ShaderMgr::Settle() const
{
    // The reading thread itself looks names up while it stores them.
    if (!OnReaderThread() && scriptReader.joinable())
    {
        scriptReader.join();
        ReplayLog(scriptLog);
    }
    return scriptsParsed;
}

bool ShaderMgr::Init()
{
    Settle();
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
    def.implicit = true;
    Store(def);
}

namespace
{
// The bytes a record holds, its strings and arrays included.
size_t RecordBytes(const cShader& shader)
{
    size_t bytes = sizeof shader + shader.name.size() + shader.deforms.size() * sizeof(sDeform);
    for (const cShaderStage& stage : shader.stages)
    {
        bytes += sizeof stage + stage.map.size() + stage.tcMods.size() * sizeof(sTcMod) +
                 stage.anim.textures.size() * sizeof(uint32_t);
        for (const std::string& name : stage.anim.names)
            bytes += sizeof name + name.size();
    }
    return bytes;
}
} // namespace

// Records made by the library itself are always stored (a draw needs an index); records from
// scripts only while the budget lasts, else the answer is -1.
int ShaderMgr::Store(const cShader& shader)
{
    if (!shader.implicit)
    {
        const size_t bytes = RecordBytes(shader) + shader.name.size() + sizeof(std::string) + 64;
        if (scriptBytes + bytes > SHADER_MAX_SCRIPT_BYTES)
        {
            DebugLogOnce("ShaderMgr:: script budget",
                         "ShaderMgr:: scripts hold more than %u bytes of shaders, "
                         "%.64s and later ones dropped",
                         static_cast<unsigned>(SHADER_MAX_SCRIPT_BYTES), shader.name.c_str());
            return -1;
        }
        scriptBytes += bytes;
    }
    shaders.push_back(shader);
    int i = static_cast<int>(shaders.size()) - 1;
    index.emplace(shader.name, i);
    return i;
}

int ShaderMgr::Find(const char* name) const { return name ? Find(std::string_view(name)) : -1; }

int ShaderMgr::Find(std::string_view name) const
{
    Settle();
    auto it = index.find(name);
    return it == index.end() ? -1 : it->second;
}

void ShaderMgr::Reset()
{
    Settle();
    shaders.clear();
    index.clear();
    misses.clear();
    pending.clear();
    scriptTexts.clear();
    scriptBytes = 0;
}

namespace
{
const GLenum WRAP_REPEAT = 0x2901; // GL_REPEAT
const GLenum WRAP_CLAMP = 0x2900;  // GL_CLAMP
// Under the game look clampmap stops at the edge texels instead of blending in the border colour.
const GLenum WRAP_CLAMP_TO_EDGE = 0x812F;

// Opens name cut before its first "." with ".tga", else with ".jpg".
bool OpenImage(const std::string& name, memfile_t& file)
{
    std::string base = name.substr(0, name.find('.'));
    return file.open((base + ".tga").c_str(), "rb") || file.open((base + ".jpg").c_str(), "rb");
}

// A name up to its first ".": image shaders are entered without the extension.
std::string_view CutAtDot(const char* name)
{
    const std::string_view whole(name);
    return whole.substr(0, whole.find('.'));
}

// Names written with backslashes as folder separators, as some model files carry them, find
// nothing as they are; they are tried once more with forward slashes.
bool HasBackslash(const char* name) { return strchr(name, '\\') != nullptr; }

std::string ForwardSlashes(std::string name)
{
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

// The texture already uploaded under exactly this name, else the image file uploaded anew; 0
// when neither exists or the image does not decode.
uint32_t LoadTexture(const std::string& name, GLenum wrap, bool mipmaps)
{
    // Under the game look a map written from the root ("/models/...") names the same image.
    if (gGameLook && !name.empty() && name[0] == '/')
    {
        const size_t start = name.find_first_not_of('/');
        return start == std::string::npos ? 0 : LoadTexture(name.substr(start), wrap, mipmaps);
    }
    GLuint tex = gTextureMgr.Find(name.c_str());
    if (tex)
        return tex;
    memfile_t file;
    if (OpenImage(name, file))
        return gTextureMgr.Load(file, wrap, GL_LINEAR, GL_MODULATE, mipmaps);
    return HasBackslash(name.c_str()) ? LoadTexture(ForwardSlashes(name), wrap, mipmaps) : 0;
}
} // namespace

void ShaderMgr::LoadStages(cShader& shader)
{
    const bool mipmaps = !(shader.flags & SHADER_NOMIPMAPS);
    for (cShaderStage& stage : shader.stages)
    {
        const GLenum clamp = gGameLook ? WRAP_CLAMP_TO_EDGE : WRAP_CLAMP;
        const GLenum wrap = (stage.flags & STAGE_CLAMP) ? clamp : WRAP_REPEAT;
        if (stage.flags & STAGE_ANIMMAP)
        {
            // One handle per frame name; a missing frame keeps 0 and still takes its turn.
            stage.anim.textures.assign(stage.anim.names.size(), 0);
            for (size_t k = 0; k < stage.anim.names.size(); k++)
                stage.anim.textures[k] = LoadTexture(stage.anim.names[k], wrap, mipmaps);
            stage.anim.names.clear();
            continue;
        }
        if (stage.flags & STAGE_LIGHTMAP)
            stage.texture = SHADER_LIGHTMAP_HANDLE;
        else if (stage.flags & STAGE_SPECIALMAP)
            stage.texture = SHADER_SPECIALMAP_HANDLE;
        else
            stage.texture = LoadTexture(stage.map, wrap, mipmaps);
        stage.map.clear();
    }
    shader.flags |= SHADER_LOADED;
}

void ShaderMgr::NoteFileChanges()
{
    Settle();
    if (missGeneration == gFileMgr.Generation())
        return;
    misses.clear();
    ForgetLoggedOnce();
    missGeneration = gFileMgr.Generation();
}

int ShaderMgr::Load(const char* name)
{
    NoteFileChanges();
    const int i = LoadNoted(name);
    // What this call read itself cannot make a remembered miss findable.
    missGeneration = gFileMgr.Generation();
    return i;
}

int ShaderMgr::LoadNoted(const char* name)
{
    EnsureDefault();
    if (!name)
        return 0;
    int i = Find(name);
    if (i >= 0)
    {
        if (!(shaders[i].flags & SHADER_LOADED))
            LoadStages(shaders[i]);
        return i;
    }
    if (misses.count(std::string_view(name)))
        return 0;

    int made = LoadImageShader(name);
    if (made == 0 && HasBackslash(name))
    {
        // The forward-slash name is entered for the given one as well (cut at its first dot,
        // as image shaders are), so the next lookup finds it.
        const std::string fixed = ForwardSlashes(name);
        made = LoadNoted(fixed.c_str());
        if (made != 0)
            index.emplace(CutAtDot(name), made);
    }
    if (made == 0)
        misses.emplace(name);
    return made;
}

// A shader of one plain stage made from the image of that name; 0 when there is no such image.
int ShaderMgr::LoadImageShader(const char* name)
{
    GLuint tex = gTextureMgr.Find(name);
    if (!tex)
    {
        memfile_t file;
        if (!OpenImage(name, file))
            return 0;
        tex = gTextureMgr.Load(file, WRAP_REPEAT, GL_LINEAR, GL_MODULATE, true);
        if (!tex)
            return 0;
    }
    const std::string_view base = CutAtDot(name);
    // A name given with its extension would otherwise add an identical record on every call.
    int known = Find(base);
    if (known >= 0 && shaders[known].flags == (SHADER_CULL_BACK | SHADER_LOADED) &&
        shaders[known].stages.size() == 1 && shaders[known].stages[0].texture == tex)
        return known;
    cShader shader;
    shader.name = std::string(base);
    shader.flags = SHADER_CULL_BACK | SHADER_LOADED;
    shader.implicit = true;
    shader.stages.emplace_back();
    shader.stages[0].texture = tex;
    return Store(shader);
}
