// Texture objects by file name, and the one upload routine that the font shares.
#include "image/texturemgr.h"

#include "platform/log.h"
#include "fs/filemgr.h"
#include "fs/memfile.h"
#include "image/image.h"

#include <GL/glu.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

TextureMgr gTextureMgr;

namespace
{
// Non-power-of-two textures are core from OpenGL 2.0 and an extension before.
bool NonPowerOfTwoSupported()
{
    const char* version = (const char*)glGetString(GL_VERSION);
    const char* extensions = (const char*)glGetString(GL_EXTENSIONS);
    if (version && atoi(version) >= 2)
        return true;
    return extensions && strstr(extensions, "GL_ARB_texture_non_power_of_two");
}
} // namespace

int TextureSide(int side, bool anySize, int maxSize)
{
    bool power = (side & (side - 1)) == 0;
    if ((anySize || power) && side <= maxSize)
        return side;
    // the nearest power of two, upwards on a tie: 96 goes up to 128, 80 down to 64
    int p = 1;
    while (p * 2 <= side)
        p *= 2;
    if (p * 2 - side <= side - p)
        p *= 2;
    while (p > maxSize && p > 1)
        p /= 2;
    return p;
}

// The parameters apply to the new texture object only; rows are unpacked with alignment 1.
GLuint MakeTexture(const cImage& image, GLenum wrap, GLenum filter, GLenum envMode, bool mipmaps)
{
    GLuint tex = 0;
    glGenTextures(1, &tex);
    if (tex == 0)
        return 0;
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, envMode);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);

    GLenum format = image.bpp == 1 ? GL_LUMINANCE : image.bpp == 3 ? GL_RGB : GL_RGBA;
    // a picture without pixels, or of a pixel size no decoder makes, gets no texture image:
    // the GL would read past its buffer
    if (!image.pixels || image.width == 0 || image.height == 0 ||
        (image.bpp != 1 && image.bpp != 3 && image.bpp != 4))
        return tex;
    if (mipmaps)
    {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        filter == GL_NEAREST ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_LINEAR);
        // internal components = bytes per pixel, so alpha survives; the library makes its own
        // copies of each level and says when it has no memory for them
        GLint made = gluBuild2DMipmaps(GL_TEXTURE_2D, image.bpp, image.width, image.height, format,
                                       GL_UNSIGNED_BYTE, image.pixels);
        if (made != 0)
            DebugLog("TextureMgr:: %s : no mipmaps made (%s)", image.name ? image.name : "",
                     reinterpret_cast<const char*>(gluErrorString(made)));
    }
    else
    {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        // Sides go to the GL as they are where it takes any size; elsewhere, and beyond the
        // largest size, the picture is rescaled first.
        GLint maxSize = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
        bool anySize = NonPowerOfTwoSupported();
        int w = TextureSide(image.width, anySize, maxSize), h = TextureSide(image.height, anySize, maxSize);
        const unsigned char* src = image.pixels;
        std::unique_ptr<unsigned char[]> scaled;
        if (w != image.width || h != image.height)
        {
            // up to the largest texture side squared: fails this one texture when not to be had
            scaled.reset(new (std::nothrow) unsigned char[static_cast<size_t>(w) * h * image.bpp]);
            if (!scaled)
            {
                DebugLog("TextureMgr:: out of memory rescaling %s to %d x %d", image.name ? image.name : "",
                         w, h);
                return tex;
            }
            // the scaler writes rows with the pack alignment: make it 1 so rows stay packed
            GLint packAlignment = 4;
            glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            gluScaleImage(format, image.width, image.height, GL_UNSIGNED_BYTE, image.pixels, w, h,
                          GL_UNSIGNED_BYTE, scaled.get());
            glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
            src = scaled.get();
        }
        // internal format RGB: unmipmapped textures drop any alpha channel
        glTexImage2D(GL_TEXTURE_2D, 0, 3, w, h, 0, format, GL_UNSIGNED_BYTE, src);
    }
    return tex;
}

TextureMgr::~TextureMgr() { Destroy(); }

GLuint TextureMgr::Find(const char* name) const
{
    auto it = textures.find(name ? name : "");
    return it == textures.end() ? 0 : it->second;
}

GLuint TextureMgr::Load(const memfile_t& file, GLenum wrap, GLenum filter, GLenum envMode, bool mipmaps)
{
    if (!file.data || file.size == 0)
        return 0;
    if (GLuint known = Find(file.name))
        return known;
    cImage image;
    if (!image.LoadFromFile(file))
        return 0;
    GLuint tex = Create(image, wrap, filter, envMode, mipmaps);
    gFileMgr.Release(file.name); // the picture is on the GL now
    return tex;
}

GLuint TextureMgr::Create(const cImage& image, GLenum wrap, GLenum filter, GLenum envMode, bool mipmaps)
{
    std::string key = image.name ? image.name : "";
    auto it = textures.find(key);
    if (it != textures.end())
        return it->second;
    GLuint tex = MakeTexture(image, wrap, filter, envMode, mipmaps);
    if (tex == 0)
        return 0;
    // the number before the dash counts the textures made before this one
    Log("TextureMgr:: loaded %s [%d - %d,%d,%d]", key.c_str(), (int)textures.size(), image.width,
        image.height, image.bpp);
    textures[key] = tex;
    return tex;
}

void TextureMgr::Destroy()
{
    for (auto& entry : textures)
        glDeleteTextures(1, &entry.second);
    textures.clear();
}
