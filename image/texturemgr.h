// The texture manager: owns every OpenGL texture made from an image file, one per file name.
#pragma once

#include "fs/mgrbase.h"

#include <GL/gl.h>
#include <map>
#include <string>

class cImage;
class memfile_t;

// Uploads image as a new texture object with the given parameters, without caching or logging.
// Answers the texture name, or 0.
GLuint MakeTexture(const cImage& image, GLenum wrap, GLenum filter, GLenum envMode, bool mipmaps);

// The side a texture of the given side gets without mipmaps: unchanged when the GL takes any
// size (anySize) or it is a power of two, and within maxSize; else the nearest power of two.
int TextureSide(int side, bool anySize, int maxSize);

class TextureMgr : public MgrBase
{
  public:
    ~TextureMgr() override;

    // The texture stored under name, or 0.
    GLuint Find(const char* name) const;
    // Decodes the file and uploads it under the file's name; an entry already there is returned
    // as it is. Answers 0 for an empty file or a failed decode.
    GLuint Load(const memfile_t& file, GLenum wrap, GLenum filter, GLenum envMode, bool mipmaps);
    // Uploads a decoded image under its name (or "" without one) unless the name is known.
    GLuint Create(const cImage& image, GLenum wrap, GLenum filter, GLenum envMode, bool mipmaps);
    // Deletes every texture object and empties the map (also how tests start afresh).
    void Destroy();

    size_t Count() const { return textures.size(); }

  private:
    std::map<std::string, GLuint> textures;
};

extern TextureMgr gTextureMgr;
