// The geometry batch: callers pick a shader, append meshes or screen quads, and flush; the
// flush draws everything once per stage of the shader and empties the batch.
#pragma once

#include "shader/shader.h"

#include <cstdint>

const int TESS_MAX_VERTEXES = 2048;
const int TESS_MAX_INDEXES = 8192;

// The one light of the game look: its direction in eye space (towards the light: from the
// camera's side, a little above) and the ambient and diffuse light it gives.
const float TESS_LIGHT_DIRECTION[3] = {0.0f, 0.4472136f, 0.8944272f};
const float TESS_LIGHT_AMBIENT = 0.4f;
const float TESS_LIGHT_DIFFUSE = 0.7f;

// Batch states (Tess::pending).
const int TESS_EMPTY = 0;
const int TESS_PENDING = 1;
const int TESS_DRAWING = 2;

// The draw call of one stage; tests point it elsewhere to count draws.
typedef void (*TessDrawElementsFn)(unsigned int mode, int count, unsigned int type, const void* indexes);
extern TessDrawElementsFn gTessDrawElements;

class Tess
{
  public:
    Tess();

    // Selects the shader for the next additions; a pending batch is drawn with the old one.
    void Begin(const cShader* newShader);
    // Appends a mesh. indexes count from the mesh's first vertex; xyz and normals hold 3
    // floats per vertex, st and lightmapSt 2; normals and lightmapSt may be null.
    void AddMesh(int meshIndexes, int meshVertexes, const uint32_t* meshIndexList, const float* meshXyz,
                 const float* meshSt, const float* meshNormals, const float* meshLightmapSt);
    // Appends a screen rectangle in window pixels, origin at the top left.
    void AddQuad(float x, float y, float w, float h);
    // Draws the batch once per stage and empties it (a shader without stages draws nothing
    // and keeps the batch).
    void Flush();
    // Empties the batch without drawing.
    void Reset();

    // Stage rendering: the texture, the GL state of the current stage, and its undoing.
    void BindStageTexture();
    void SetupStage();
    void ResetStage();

    const cShader* shader = nullptr;
    const cShaderStage* stage = nullptr;
    uint32_t lightmapTexture = 0;
    uint32_t specialTexture = 0;
    int numIndexes = 0;
    uint32_t indexes[TESS_MAX_INDEXES];
    int numVertexes = 0;
    float xyz[TESS_MAX_VERTEXES][4];
    float normals[TESS_MAX_VERTEXES][4];
    float st[TESS_MAX_VERTEXES][2];
    float lightmapSt[TESS_MAX_VERTEXES][2];
    int pending = TESS_EMPTY;

    // Under the game look: lit stages are lit by the model light (off: drawn flat).
    bool lighting = true;
    // Under the game look: reflection coordinates of environment stages, per vertex.
    float envSt[TESS_MAX_VERTEXES][2];
    // Whether every vertex of the batch has its normal in normals (needed for lighting).
    bool batchNormals = false;

  private:
    // Makes room for an addition; false when it cannot fit even after a flush.
    bool MakeRoom(int addIndexes, int addVertexes);
    // Camera-facing quads and reflection coordinates of a mesh just copied to base.
    void ApplyViewGeometry(int base, int meshVertexes, int meshIndexes, const uint32_t* meshIndexList,
                           const float* meshSt, const float* meshNormals);
    bool stageLit = false; // the GL light is on for the stage being drawn
};

extern Tess gTess;
