// One MD3 model held ready for drawing: surfaces with every vertex frame packed as in the file
// (blended to floats while drawing), tags per frame as origin and rotation, and one child link
// per tag.
#pragma once

#include "model/ressource.h"

#include <cstdint>
#include <string>
#include <vector>

class cModelDrawer;
class memfile_t;
struct sAnimState;

// Fixed shader slots of a surface: slot 0 comes from the file, slot k holds skin k.
const int MD3_MAX_SHADER_SLOTS = 8;
// Names taken from the file's own shader records into the fixed slots.
const int MD3_MAX_FILE_SHADERS = 7;
// Slots a surface can have at all: skins past the fixed slots get slots made for them.
const int MD3_MAX_SKIN_SLOTS = 64;
// Vertices a surface may have: the size of the blending scratch arrays.
const int MD3_MAX_VERTS = 4096;
// Sanity limits for counts whose records are not read from the file.
const int MD3_MAX_FRAMES = 4096;
const int MD3_MAX_TAGS = 1024;
const int MD3_NAME_SIZE = 64;
// The load error of a model (and of the cache and player loads that needed it) when memory ran
// out: nothing of that load is kept.
const char MD3_OUT_OF_MEMORY[] = "out of memory";
// File coordinates are 16-bit integers in 1/64 units.
const float MD3_XYZ_SCALE = 1.0f / 64;

// Sines and cosines of the 256 steps an angle byte of a vertex normal stands for.
struct sMd3Angles
{
    double sines[256];
    double cosines[256];
};
const sMd3Angles& Md3Angles();

// The unit normal of a vertex from its two angle bytes (code: first byte * 256 + second byte),
// each component rounded to float once.
inline void Md3Normal(const sMd3Angles& angles, uint16_t code, float n[3])
{
    const int i = code >> 8, j = code & 255;
    n[0] = static_cast<float>(angles.cosines[j] * angles.sines[i]);
    n[1] = static_cast<float>(angles.sines[j] * angles.sines[i]);
    n[2] = static_cast<float>(angles.cosines[i]);
}

// Every frame's vertex positions as the file packs them: x, y, z of each vertex as 16-bit
// integers in 1/64 units, frame by frame. Indexing reads the flat float array they stand for
// (coordinate k of vertex v at v * 3 + k, in model units).
struct sMd3PackedXyz
{
    std::vector<int16_t> coords;

    float operator[](size_t i) const { return coords[i] * MD3_XYZ_SCALE; }
    size_t size() const { return coords.size(); }
    bool empty() const { return coords.empty(); }
};

// Every frame's vertex normals as the file packs them: the two angle bytes of each vertex as
// one code (first byte * 256 + second byte). Indexing reads the flat float array of unit
// normals they stand for (component k of vertex v at v * 3 + k).
struct sMd3PackedNormals
{
    std::vector<uint16_t> codes;

    float operator[](size_t i) const
    {
        float n[3];
        Md3Normal(Md3Angles(), codes[i / 3], n);
        return n[i % 3];
    }
    size_t size() const { return codes.size() * 3; }
    bool empty() const { return codes.empty(); }
};

struct sMd3Shader
{
    char name[MD3_NAME_SIZE] = {};
    // A skin slot whose skin file names the surface without a shader.
    bool namedEmpty = false;
};

struct sMd3Tag
{
    char name[MD3_NAME_SIZE] = {};
    float origin[3] = {0, 0, 0};
    float rotation[4] = {0, 0, 0, 1}; // unit quaternion x, y, z, w
};

struct sMd3Frame
{
    std::vector<sMd3Tag> tags; // numTags of them, same index = same tag in every frame
    // The frame's box as the file gives it, in model units (all zero when its values are not
    // finite numbers).
    float mins[3] = {0, 0, 0};
    float maxs[3] = {0, 0, 0};
};

struct sMd3Surface
{
    char name[MD3_NAME_SIZE] = {};
    uint32_t numVerts = 0;
    uint32_t numIndices = 0;
    uint32_t numShaders = 0;   // the file's count of shader records, however many slots hold
    sMd3PackedXyz xyz;         // numFrames * numVerts positions
    sMd3PackedNormals normals; // numFrames * numVerts normals
    std::vector<float> st;     // numVerts * 2
    std::vector<uint32_t> indices;
    // Whether some triangle uses every vertex: blending then takes each vertex once instead of
    // once for every index that names it.
    bool everyVertexUsed = false;
    sMd3Shader shaders[MD3_MAX_SHADER_SLOTS];
    // What the part's default skin file names for this surface: drawn in skin 0 instead of
    // slot 0 when slot 0 leads to no shader and no image, and in any other skin whose slot is
    // empty. Empty when there is none.
    sMd3Shader defaultSkin;
    // The file's first shader name exactly as stored (slot 0 holds it with its first letter
    // made "m").
    sMd3Shader fileShader;
    // Slots past the fixed ones, made only for players with more skins than those hold.
    std::vector<sMd3Shader> moreShaders;

    // Slot k, or null when the surface has no such slot.
    const sMd3Shader* Slot(uint32_t k) const;
    // Slot k, made (empty) when it is past the fixed ones; null at MD3_MAX_SKIN_SLOTS and beyond.
    sMd3Shader* MakeSlot(uint32_t k);
    // Empties every slot that skins fill (1 and up).
    void ClearSkinSlots();
};

class cMd3 : public cRessource
{
  public:
    cMd3();
    ~cMd3() override;

    bool IsLoaded() override;
    void Unload() override { Clear(); }

    // Parses a whole file image; on any failure (running out of memory too) the model stays
    // empty and loadError says why.
    bool LoadFromFile(memfile_t& file);
    bool LoadFromBuffer(const unsigned char* data, uint32_t size, const char* fileName);
    void Clear();

    // Gives back the memory of every vertex frame; the model stays loaded (layout, tags, skins)
    // and the next Render reads the frames again from its file, the path it has as name.
    void ReleaseFrames();
    // Reads the released frames back; false (once in the debug file) when the file no longer
    // gives the same model, which then draws nothing.
    bool RestoreFrames();

    // Links child (or detaches with null) at every tag called tagName in frame 0, any case.
    void AttachToTag(const char* tagName, cMd3* child);

    // Draws every surface blended between frames current and next (f = 0 shows current).
    void Render(uint32_t current, uint32_t next, float f);

    // Blends one surface into the given arrays (numVerts * 3 floats each), unpacking the two
    // frames as it goes; vertices that no triangle uses are left as they were.
    void BlendSurface(const sMd3Surface& surface, uint32_t current, uint32_t next, float f, float* xyzOut,
                      float* normalsOut) const;

    // The name in the selected skin slot up to its first dot ("" for a slot the surface lacks).
    void SurfaceShaderName(const sMd3Surface& surface, char out[MD3_NAME_SIZE]) const;
    // The shader a surface is drawn with in the selected skin, asking the drawer which names
    // lead somewhere; false when the surface is not drawn at all.
    bool PickSurfaceShader(const sMd3Surface& surface, cModelDrawer& drawer, char out[MD3_NAME_SIZE]) const;

    uint32_t numSurfaces = 0;
    uint32_t numFrames = 0;
    uint32_t numTags = 0;
    uint32_t skinIndex = 0;
    std::vector<sMd3Surface> surfaces;
    std::vector<sMd3Frame> frames;
    std::vector<cMd3*> links; // one per tag, not owning
    sAnimState* animState = nullptr;
    bool framesReleased = false;
    bool framesLost = false; // released, and reading them back failed
    // Why the last LoadFromFile failed, in a few words; empty after a successful one.
    std::string loadError;
};

// Turns three tag axes (rows of a rotation) into a unit quaternion x, y, z, w. The axes are
// scaled to unit length first: files carry tags whose axes are longer than 1.
void AxesToQuaternion(const float axis[3][3], float q[4]);
