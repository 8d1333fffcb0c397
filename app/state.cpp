// Process-wide settings of the show and the shared frame-copy texture.
#include "app/shell.h"
#include "texgen/texgen.h"

namespace app {

int screenWidth = 640;
int screenHeight = 480;
bool fullScreen = false;
int64_t loadingBarFrames = 0;
int64_t showFrames = 0;
glimmer::music::Song* song = nullptr;
bool musicStarted = false;

void createFrameCopyTexture() {
  destroyFrameCopyTexture();
  auto* texture = new glimmer::TextureObject();
  texture->resize(128);
  texture->upload();
  glimmer::frameCopyTexture = texture;
}

void destroyFrameCopyTexture() {
  // The GL texture goes with the context; only the image is freed here.
  delete glimmer::frameCopyTexture;
  glimmer::frameCopyTexture = nullptr;
}

}  // namespace app
