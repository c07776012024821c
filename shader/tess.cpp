// The geometry batch: fixed arrays that serve directly as GL client arrays, filled by meshes
// and screen quads and drawn once per shader stage.
#include "shader/tess.h"

#include "platform/log.h"
#include "platform/gamelook.h"
#include "shader/shadermgr.h"
#include "shader/stagestate.h"
#include "shader/viewgeom.h"

#include <GL/gl.h>
#include <cstdio>
#include <cstring>

Tess gTess;

TessDrawElementsFn gTessDrawElements = glDrawElements;

Tess::Tess()
{
    memset(indexes, 0, sizeof indexes);
    memset(xyz, 0, sizeof xyz);
    memset(normals, 0, sizeof normals);
    memset(st, 0, sizeof st);
    memset(lightmapSt, 0, sizeof lightmapSt);
    memset(envSt, 0, sizeof envSt);
}

namespace
{
// The messages below come from drawing, which repeats every frame: each is written once per
// cause (the kind of fault with the mesh's sizes, or the shader) until the file layer changes.
const size_t TESS_KEY_SIZE = 96;

const char* ShaderName(const cShader* shader) { return shader ? shader->name.c_str() : ""; }
} // namespace

void Tess::Begin(const cShader* newShader)
{
    gShaderMgr.NoteFileChanges();
    if (pending != TESS_EMPTY && shader && !shader->stages.empty())
        Flush();
    shader = newShader;
    const uint32_t flags = shader ? shader->flags : 0;

    // Normals are needed for sphere mapping, and under the game look for lighting.
    if ((flags & SHADER_ENVIRONMENT) || (shader && gGameLook && ShaderNeedsNormals(*shader, true, lighting)))
    {
        glEnableClientState(GL_NORMAL_ARRAY);
        glNormalPointer(GL_FLOAT, 16, normals);
    }
    else
        glDisableClientState(GL_NORMAL_ARRAY);

    // Back faces stay the culled side; only "cull none" switches culling off.
    if (flags & SHADER_CULL_NONE)
        glDisable(GL_CULL_FACE);
    else
        glEnable(GL_CULL_FACE);

    if (flags & SHADER_POLYGONOFFSET)
        glEnable(GL_POLYGON_OFFSET_FILL);
    else
        glDisable(GL_POLYGON_OFFSET_FILL);
}

bool Tess::MakeRoom(int addIndexes, int addVertexes)
{
    char key[TESS_KEY_SIZE];
    if (addVertexes > TESS_MAX_VERTEXES || addIndexes > TESS_MAX_INDEXES)
    {
        snprintf(key, sizeof key, "Tess:: larger %d %d", addVertexes, addIndexes);
        return DebugLogOnce(key,
                            "Tess:: mesh of %d vertexes and %d indexes is larger than the batch, dropped",
                            addVertexes, addIndexes);
    }
    if (numVertexes + addVertexes > TESS_MAX_VERTEXES || numIndexes + addIndexes > TESS_MAX_INDEXES)
        Flush();
    if (numVertexes + addVertexes <= TESS_MAX_VERTEXES && numIndexes + addIndexes <= TESS_MAX_INDEXES)
        return true;
    // Only a shader without stages keeps a full batch.
    snprintf(key, sizeof key, "Tess:: full %.64s", ShaderName(shader));
    return DebugLogOnce(key, "Tess:: batch full under a shader without stages, geometry dropped");
}

void Tess::AddMesh(int meshIndexes, int meshVertexes, const uint32_t* meshIndexList, const float* meshXyz,
                   const float* meshSt, const float* meshNormals, const float* meshLightmapSt)
{
    if (meshIndexes <= 0 || meshVertexes <= 0)
        return;
    char key[TESS_KEY_SIZE];
    if (!meshIndexList || !meshXyz || !meshSt)
    {
        snprintf(key, sizeof key, "Tess:: arrays %d %d %.64s", meshVertexes, meshIndexes, ShaderName(shader));
        DebugLogOnce(key, "Tess:: mesh without indexes, positions or texture coordinates, dropped");
        return;
    }
    // An index past the mesh would make the GL read beyond the vertex arrays.
    for (int i = 0; i < meshIndexes; i++)
        if (meshIndexList[i] >= static_cast<uint32_t>(meshVertexes))
        {
            snprintf(key, sizeof key, "Tess:: index %u %d %.64s", meshIndexList[i], meshVertexes,
                     ShaderName(shader));
            DebugLogOnce(key, "Tess:: mesh index %u out of range (%d vertexes), mesh dropped",
                         meshIndexList[i], meshVertexes);
            return;
        }
    if (!MakeRoom(meshIndexes, meshVertexes))
        return;
    pending = TESS_PENDING;
    const int base = numVertexes;
    for (int i = 0; i < meshIndexes; i++)
        indexes[numIndexes + i] = meshIndexList[i] + static_cast<uint32_t>(base);

    static const cShader noShader;
    const cShader& s = shader ? *shader : noShader;
    DeformPositions(s, meshVertexes, meshXyz, meshNormals, ShaderSeconds(), xyz + base);
    memcpy(st + base, meshSt, sizeof(float) * 2 * meshVertexes);
    const uint32_t flags = s.flags;
    const bool keepNormals =
        meshNormals && ((flags & SHADER_ENVIRONMENT) || (gGameLook && ShaderNeedsNormals(s, true, lighting)));
    if (keepNormals)
        for (int i = 0; i < meshVertexes; i++)
            memcpy(normals[base + i], meshNormals + i * 3, sizeof(float) * 3);
    batchNormals = keepNormals && (base == 0 || batchNormals);
    if (gGameLook)
        ApplyViewGeometry(base, meshVertexes, meshIndexes, meshIndexList, meshSt, meshNormals);
    if (meshLightmapSt && (flags & SHADER_LIGHTMAP))
        memcpy(lightmapSt + base, meshLightmapSt, sizeof(float) * 2 * meshVertexes);

    numIndexes += meshIndexes;
    numVertexes += meshVertexes;
}

void Tess::ApplyViewGeometry(int base, int meshVertexes, int meshIndexes, const uint32_t* meshIndexList,
                             const float* meshSt, const float* meshNormals)
{
    const uint32_t flags = shader ? shader->flags : 0;
    const bool sprite = (flags & (SHADER_AUTOSPRITE | SHADER_AUTOSPRITE2)) != 0;
    const bool environment = (flags & SHADER_ENVIRONMENT) != 0;
    if (!sprite && !environment)
        return;
    // Read once per mesh, and only for the shaders that need it.
    float modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    if (sprite)
        TurnQuadsToCamera(modelview, !(flags & SHADER_AUTOSPRITE), meshVertexes, xyz + base, meshIndexes,
                          meshIndexList);
    // Without normals there is nothing to reflect: the mesh's own coordinates stand in.
    if (environment && meshNormals)
        ReflectionCoords(modelview, meshVertexes, xyz + base, meshNormals, envSt + base);
    else if (environment)
        memcpy(envSt + base, meshSt, sizeof(float) * 2 * meshVertexes);
}

void Tess::AddQuad(float x, float y, float w, float h)
{
    if (!MakeRoom(6, 4))
        return;
    pending = TESS_PENDING;
    const int v = numVertexes;
    const int order[6] = {0, 1, 2, 2, 1, 3};
    for (int i = 0; i < 6; i++)
        indexes[numIndexes + i] = static_cast<uint32_t>(v + order[i]);

    // The caller counts y down from the top; the projection counts it up from the bottom.
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const float height = static_cast<float>(viewport[3]);
    const float corners[4][2] = {
        {x, height - y - h}, {x + w, height - y - h}, {x, height - y}, {x + w, height - y}};
    const float coords[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int i = 0; i < 4; i++)
    {
        xyz[v + i][0] = corners[i][0];
        xyz[v + i][1] = corners[i][1];
        xyz[v + i][2] = 0.0f;
        st[v + i][0] = envSt[v + i][0] = coords[i][0];
        st[v + i][1] = envSt[v + i][1] = coords[i][1];
    }
    batchNormals = false;
    numIndexes += 6;
    numVertexes += 4;
}

void Tess::Flush()
{
    // Without stages nothing is drawn, and the batch keeps its contents.
    if (!shader || shader->stages.empty())
        return;
    pending = TESS_DRAWING;
    glVertexPointer(3, GL_FLOAT, 16, xyz);
    for (const cShaderStage& s : shader->stages)
    {
        stage = &s;
        BindStageTexture();
        SetupStage();
        gTessDrawElements(GL_TRIANGLES, numIndexes, GL_UNSIGNED_INT, indexes);
        ResetStage();
    }
    stage = nullptr;
    Reset();
}

void Tess::Reset()
{
    numIndexes = 0;
    numVertexes = 0;
    pending = TESS_EMPTY;
    batchNormals = false;
}
