// The GL-free half of stage rendering: which state a stage asks for, its texture matrix, its
// animation frame and the vertex deformations, as plain functions of the records and a time.
#pragma once

#include "shader/shader.h"

#include <vector>

// Seconds on the clock the shader animations share: the high-resolution counter, or the
// millisecond timer where there is none.
double ShaderSeconds();

// The fixed-function state one stage is drawn with.
struct sStageState
{
    bool blend = false;
    int blendSrc = 1;
    int blendDst = 0;
    bool alphaTest = false;
    int alphaFunc = 0x207;
    float alphaRef = 1.0f;
    bool setDepthFunc = false; // glDepthFunc(depthFunc), depth writes untouched
    int depthFunc = 0x203;
    bool noDepthWrite = false; // depth writes off during the draw
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    bool sphereMap = false; // the GL generates sphere-map coordinates
    bool envCoords = false; // the batch's reflection coordinates replace the mesh's own
};

// The state of a stage; waveTime feeds the colour and alpha waves. With gameLook the colour and
// alpha sources of real scripts (const, vertex, entity, oneMinusEntity) take their meaning and
// environment stages read the batch's reflection coordinates; without it the state is the
// plain one, and the two-argument form follows gGameLook.
sStageState ChooseStageState(const cShaderStage& stage, double waveTime, bool gameLook);
sStageState ChooseStageState(const cShaderStage& stage, double waveTime);

// Whether a stage of shader is lit by the model light under the game look: lightingDiffuse
// stages, and every stage of a shader the library made itself.
bool StageIsLit(const cShader& shader, const cShaderStage& stage, bool gameLook);

// Whether the batch must keep the normals of meshes drawn with shader: for sphere mapping, and
// under the game look with lighting on for lit stages.
bool ShaderNeedsNormals(const cShader& shader, bool gameLook, bool lighting);

// The texture matrix (column-major) of a tcmod list at batch time t; stretchTime feeds stretch.
void TcModMatrix(const std::vector<sTcMod>& mods, double t, double stretchTime, double out[16]);

// Frame of an animmap stage at time t, or -1 when the stage has no frames.
int AnimFrame(const sAnimMap& anim, double t);

// Writes n deformed positions (4 floats apart) from packed xyz and optional normals, as the
// shader's first deformation asks at time t; without one the positions are copied.
void DeformPositions(const cShader& shader, int n, const float* xyz, const float* normals, double t,
                     float (*out)[4]);
