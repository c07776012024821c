// The geometry batch.
#include "shader/tess.h"

#include <GL/gl.h>

Tess gTess;

TessDrawElementsFn gTessDrawElements = glDrawElements;

Tess::Tess() {}

void Tess::Begin(const cShader* newShader) { shader = newShader; }

void Tess::AddMesh(int, int, const uint32_t*, const float*, const float*, const float*, const float*) {}

void Tess::AddQuad(float, float, float, float) {}

void Tess::Flush() {}

void Tess::Reset()
{
    numIndexes = 0;
    numVertexes = 0;
    pending = TESS_EMPTY;
}

void Tess::BindStageTexture() {}

void Tess::SetupStage() {}

void Tess::ResetStage() {}

bool Tess::MakeRoom(int, int) { return false; }
