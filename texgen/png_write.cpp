// PNG output through stb_image_write; the one place in the project that holds its
// implementation, so other folders include the header without the macro and call writePngRgba.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "texgen/texgen.h"

namespace glimmer {

bool writePngRgba(const char* path, int width, int height, const uint8_t* rgba) {
  if (!path || width <= 0 || height <= 0 || !rgba) return false;
  return stbi_write_png(path, width, height, 4, rgba, width * 4) != 0;
}

}  // namespace glimmer
