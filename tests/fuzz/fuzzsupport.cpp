// Shared fuzz helpers: working folder, manager reset and the counting drawer.
#include "fuzzsupport.h"

#include "console/console.h"
#include "fs/filemgr.h"
#include "model/md3.h"
#include "model/ressmgr.h"
#include "shader/shadermgr.h"
#include "support/md3builder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace
{
std::string workDir;

void RemoveWorkDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(workDir, ignored);
}

// A broken invariant is a finding: stop with a signal the fuzzer reports.
void Check(bool condition, const char* what)
{
    if (!condition)
    {
        fprintf(stderr, "fuzz check failed: %s\n", what);
        abort();
    }
}
} // namespace

const std::string& FuzzWorkDir()
{
    if (workDir.empty())
    {
        char tmpl[] = "/tmp/kelfuzz.XXXXXX";
        if (!mkdtemp(tmpl) || chdir(tmpl) != 0)
        {
            perror("fuzz working folder");
            abort();
        }
        workDir = tmpl;
        atexit(RemoveWorkDir);
    }
    return workDir;
}

bool FuzzWriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    const std::string full = FuzzWorkDir() + "/" + path;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path(), ignored);
    FILE* f = fopen(full.c_str(), "wb");
    if (!f)
        return false;
    bool ok = size == 0 || fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

void FuzzResetManagers()
{
    gFileMgr.Reset();
    gRessMgr.Reset();
    gShaderMgr.Reset();
    gConsole.Reset();
}

void cCountingDrawer::DrawSurface(const sMd3Surface& surface, const char* shaderName, const float* xyz,
                                  const float* normals)
{
    Check(shaderName && strnlen(shaderName, MD3_NAME_SIZE) < MD3_NAME_SIZE, "shader name unterminated");
    Check(surface.numVerts <= MD3_MAX_VERTS, "more vertices than the scratch arrays hold");
    Check(surface.indices.size() >= surface.numIndices, "fewer indices than counted");
    Check(surface.st.size() >= size_t(surface.numVerts) * 2, "texture coordinates missing");
    for (uint32_t i = 0; i < surface.numIndices; i++)
    {
        uint32_t v = surface.indices[i];
        Check(v < surface.numVerts, "index past the vertices");
        sum += xyz[v * 3] + normals[v * 3 + 2] + surface.st[v * 2 + 1];
    }
    surfaces++;
}

void cCountingDrawer::PushTransform(const float matrix[16])
{
    for (int k = 0; k < 16; k++)
        sum += matrix[k];
    depth++;
}

void cCountingDrawer::PopTransform()
{
    Check(depth > 0, "transform popped without a push");
    depth--;
}

namespace
{
std::vector<unsigned char> BuildPart(const char* surface, int frames, const std::vector<const char*>& tags)
{
    Md3Builder b(frames);
    for (const char* tag : tags)
        b.AddTag(tag);
    Md3Builder::Surface& s = b.AddSurface(surface, 4, "models/players/fuzz/skin.tga");
    s.triangles = {0, 1, 2, 2, 3, 0};
    for (int f = 0; f < frames; f++)
        for (int v = 0; v < 4; v++)
            s.Vertex(f, v) = {int16_t(64 * v + f), int16_t(-64 * v), int16_t(f), uint8_t(v * 40), uint8_t(f)};
    return b.Build();
}
} // namespace

std::vector<std::pair<std::string, std::vector<unsigned char>>> FuzzPlayerParts(const std::string& folder)
{
    return {{folder + "/lower.md3", BuildPart("l_legs", 40, {"tag_torso"})},
            {folder + "/upper.md3", BuildPart("u_torso", 30, {"tag_head", "tag_weapon"})},
            {folder + "/head.md3", BuildPart("h_head", 1, {"tag_head"})}};
}
