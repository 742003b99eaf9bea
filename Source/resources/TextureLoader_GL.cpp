#include "resources/TextureLoader_GL.h"

#include <GL/glew.h>
#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

#include <climits>
#include <ostream>
#include <string>

#include "core/OutputStream.h"
#include "core/RegularFile.h"
#include "presentation/GraphicsGlobals.h"
#include "resources/ResourceRequest.h"
#include "resources/Texture_GL.h"

namespace CorvaneEngine {

namespace {

void LogCannotLoad(const SharedString& path) {
  Log << "Can not load: \"" << path.CStr() << "\".\n" << std::endl;
}

// The decoded image of the file at `path`, or null. The file is read into memory by the engine
// rather than opened by SDL_image, so that a FIFO, a device or a folder in its place is refused at
// once instead of blocking the main thread or streaming without end.
SDL_Surface* DecodeImageFile(const SharedString& path) {
  std::string bytes;
  if (!ReadRegularFile(path.CStr(), bytes, nullptr) || bytes.size() > INT_MAX) return nullptr;
  SDL_RWops* source = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
  if (source == nullptr) return nullptr;
  return IMG_Load_RW(source, 1);  // frees the source; the surface owns its own pixels
}

// The bind below does not go through boundTextures, so the active unit's entry becomes unknown.
void ForgetActiveUnitBinding() {
  GLint active = GL_TEXTURE0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  int unit = active - GL_TEXTURE0;
  if (unit >= 0 && unit < kTextureUnitCount) boundTextures[unit] = -1;
}

// Fills width, height and glName of `texture` from a decoded image, with or without mipmaps as
// `useMipmaps` says now.
void UploadTexture(Texture_GL* texture, SDL_Surface* image) {
  texture->width = image->w;
  texture->height = image->h;
  SDL_Surface* converted = SDL_DisplayFormatAlpha(image);
  if (converted == nullptr) {
    // No video surface to take the format from: 32-bit pixels in B, G, R, A byte order.
    SDL_PixelFormat bgra = *image->format;
    bgra.palette = nullptr;
    bgra.BitsPerPixel = 32;
    bgra.BytesPerPixel = 4;
    bgra.Rmask = 0x00FF0000, bgra.Gmask = 0x0000FF00, bgra.Bmask = 0x000000FF;
    bgra.Amask = 0xFF000000;
    bgra.Rshift = 16, bgra.Gshift = 8, bgra.Bshift = 0, bgra.Ashift = 24;
    bgra.Rloss = bgra.Gloss = bgra.Bloss = bgra.Aloss = 0;
    converted = SDL_ConvertSurface(image, &bgra, SDL_SWSURFACE | SDL_SRCALPHA);
  }
  SDL_Surface* pixels = converted != nullptr ? converted : image;

  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  ForgetActiveUnitBinding();
  texture->glName = name;
  if (useMipmaps) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  } else {
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLfloat>(GL_LINEAR));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLfloat>(GL_LINEAR));
  }
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);

  const int bytesPerPixel = pixels->format->BytesPerPixel;
  const GLenum format = bytesPerPixel == 4 ? GL_BGRA : GL_BGR;
  // SDL rows may be padded; GL must step by the surface's pitch.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, pixels->pitch / bytesPerPixel);
  if (SDL_MUSTLOCK(pixels)) SDL_LockSurface(pixels);
  if (useMipmaps) {
    gluBuild2DMipmaps(GL_TEXTURE_2D, bytesPerPixel, pixels->w, pixels->h, format, GL_UNSIGNED_BYTE,
                      pixels->pixels);
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, bytesPerPixel, pixels->w, pixels->h, 0, format, GL_UNSIGNED_BYTE,
                 pixels->pixels);
  }
  if (SDL_MUSTLOCK(pixels)) SDL_UnlockSurface(pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  if (converted != nullptr) SDL_FreeSurface(converted);
}

}  // namespace

TextureLoader_GL::TextureLoader_GL() : ResourceMaker(true) {}

Resource* TextureLoader_GL::Load(const ResourceRequest& request) {
  SDL_Surface* image = DecodeImageFile(request.path);
  if (image == nullptr) {
    LogCannotLoad(request.path);
    return nullptr;
  }
  Texture_GL* texture = new Texture_GL();
  UploadTexture(texture, image);
  SDL_FreeSurface(image);
  return texture;
}

void TextureLoader_GL::Reload(Resource* resource) {
  Texture_GL* texture = dynamic_cast<Texture_GL*>(resource);
  if (texture == nullptr) return;
  // A Reload without a Release first must not leak the old name (the base's deletion only: a
  // derived texture's own release is not ours to run).
  texture->Texture_GL::ReleaseGpuObjects();
  SDL_Surface* image = DecodeImageFile(texture->path);
  if (image == nullptr) {
    LogCannotLoad(texture->path);  // the texture stays without a GL name
    return;
  }
  UploadTexture(texture, image);
  SDL_FreeSurface(image);
}

bool TextureLoader_GL::SupportsExtension(const SharedString& extension) const {
  return extension == ".png" || extension == ".bmp" || extension == ".jpg" || extension == ".tiff";
}

}  // namespace CorvaneEngine
