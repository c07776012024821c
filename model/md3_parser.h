// The reading of one MD3 file image in steps, shared by the loader's two files: layout and
// overlap checks (md3_load.cpp) and the decoding of tags and surfaces (md3_decode.cpp).
#pragma once

#include "model/md3.h"
#include "platform/bytereader.h"

#include <cstdint>
#include <string>
#include <vector>

// The file, little-endian throughout: a 108-byte header (ident "IDP3", version 15, name, counts
// of frames, tags and surfaces, and the offsets of the frame, tag and surface blocks), then
// per-frame records (a box, an origin, a radius and a name; only the box is read), a block of
// numFrames x numTags tag records (name, origin, three axes), and the surfaces one after the
// other. Each surface starts with its own 108-byte header whose offsets count from the surface
// start: shader names, triangles (three vertex indices), texture coordinates, and numFrames x
// numVerts packed vertices (three 16-bit coordinates in 1/64 units and two angle bytes for the
// normal).
const int MD3_HEADER_SIZE = 108;
const int MD3_FRAME_SIZE = 56;
const int MD3_TAG_SIZE = 112;
const int MD3_SURFACE_HEADER_SIZE = 108;
const int MD3_SHADER_SIZE = 68;
const int MD3_TRIANGLE_SIZE = 12;
const int MD3_ST_SIZE = 8;
const int MD3_VERTEX_SIZE = 8;
const int MD3_VERSION = 15;

struct sMd3FileHeader
{
    char name[MD3_NAME_SIZE];
    int32_t numFrames, numTags, numSurfaces;
    int32_t ofsFrames, ofsTags, ofsSurfaces;
};

struct sMd3SurfaceHeader
{
    int64_t start; // in the file; the offsets below count from here
    char name[MD3_NAME_SIZE];
    int32_t numShaders, numVerts, numTriangles;
    int32_t ofsTriangles, ofsShaders, ofsSt, ofsXyzNormals, ofsEnd;
};

// What a stretch of the file holds, for the overlap check and its message.
enum eMd3BlockKind
{
    MD3_BLOCK_HEADER,
    MD3_BLOCK_FRAMES,
    MD3_BLOCK_TAGS,
    MD3_BLOCK_SURFACE,
    MD3_BLOCK_SHADERS,
    MD3_BLOCK_TRIANGLES,
    MD3_BLOCK_ST,
    MD3_BLOCK_VERTICES
};

struct sMd3Block
{
    uint64_t start, end; // end is one past the last byte
    eMd3BlockKind kind;
    int32_t surface;
};

// Reads one file image in steps; each step answers false after writing why to the debug file
// and into the model's load error. The steps only fill what they are given, so a refused file
// leaves the model as it was.
class cMd3Parser
{
  public:
    cMd3Parser(const unsigned char* data, uint32_t size, const char* file, std::string& reason)
        : r(data, size), fileName(file), error(reason)
    {
    }

    bool ReadHeader();
    bool ReadSurfaceHeaders();
    bool CheckBlocksApart();
    bool ReadTags(std::vector<sMd3Frame>& frames);
    void ReadFrameBounds(std::vector<sMd3Frame>& frames);
    bool ReadSurface(int32_t s, sMd3Surface& surf);

    sMd3FileHeader header;

  private:
    bool ReadSurfaceHeader(int64_t start, sMd3SurfaceHeader& h);
    bool CheckSurfaceRecords(int32_t s, const sMd3SurfaceHeader& h);
    void AddBlock(int64_t start, int64_t count, int64_t recordSize, eMd3BlockKind kind, int32_t surface = -1);
    void ReadShaders(const sMd3SurfaceHeader& h, sMd3Surface& surf);
    bool ReadTriangles(int32_t s, const sMd3SurfaceHeader& h, sMd3Surface& surf);
    void ReadTexCoords(const sMd3SurfaceHeader& h, sMd3Surface& surf);
    bool ReadVertices(int32_t s, const sMd3SurfaceHeader& h, sMd3Surface& surf);

    // True when count records of recSize bytes start at ofs and end inside the file; negative
    // offsets and counts never fit.
    bool Fits(int64_t ofs, int64_t count, int64_t recSize) const
    {
        return ofs >= 0 && count >= 0 &&
               r.Fits(static_cast<uint64_t>(ofs), static_cast<uint64_t>(count), recSize);
    }
    bool Refuse(const char* reason, const char* format, ...) __attribute__((format(printf, 3, 4)));

    cByteReader r;
    const char* fileName;
    std::string& error;
    std::vector<sMd3SurfaceHeader> surfaceHeaders;
    std::vector<sMd3Block> blocks;
};

// Copies a fixed 64-byte name field, cut to 63 characters when it has no terminator.
void Md3CopyName(char out[MD3_NAME_SIZE], const char* field);
