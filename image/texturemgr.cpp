// Texture objects by file name, and the one upload routine that the font shares.
#include "image/texturemgr.h"

#include "app/log.h"
#include "fs/memfile.h"
#include "image/image.h"

#include <GL/glu.h>

TextureMgr gTextureMgr;

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
    if (!image.pixels || image.width == 0 || image.height == 0)
        return tex; // an empty texture object: drawing with it shows nothing in particular
    if (mipmaps)
    {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        filter == GL_NEAREST ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR_MIPMAP_LINEAR);
        // internal components = bytes per pixel, so alpha survives
        gluBuild2DMipmaps(GL_TEXTURE_2D, image.bpp, image.width, image.height, format, GL_UNSIGNED_BYTE,
                          image.pixels);
    }
    else
    {
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        // internal format RGB: unmipmapped textures drop any alpha channel
        glTexImage2D(GL_TEXTURE_2D, 0, 3, image.width, image.height, 0, format, GL_UNSIGNED_BYTE,
                     image.pixels);
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
    return Create(image, wrap, filter, envMode, mipmaps);
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
