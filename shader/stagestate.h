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
    bool sphereMap = false;
};

// The state of a stage; waveTime feeds the colour and alpha waves.
sStageState ChooseStageState(const cShaderStage& stage, double waveTime);

// The texture matrix (column-major) of a tcmod list at batch time t; stretchTime feeds stretch.
void TcModMatrix(const std::vector<sTcMod>& mods, double t, double stretchTime, double out[16]);

// Frame of an animmap stage at time t, or -1 when the stage has no frames.
int AnimFrame(const sAnimMap& anim, double t);

// Writes n deformed positions (4 floats apart) from packed xyz and optional normals, as the
// shader's first deformation asks at time t; without one the positions are copied.
void DeformPositions(const cShader& shader, int n, const float* xyz, const float* normals, double t,
                     float (*out)[4]);
