// Process-wide settings of the show and the shared frame-copy texture.
#include "app/shell.h"

namespace app {

int screenWidth = 640;
int screenHeight = 480;
bool fullScreen = false;
int64_t loadingBarFrames = 0;
int64_t showFrames = 0;

// TODO(texgen): create glimmer::frameCopyTexture as a default TextureObject resized to 128 and
// uploaded, once texgen/texgen.h lands; until then the renderer has no frame copy.
void createFrameCopyTexture() {}
void destroyFrameCopyTexture() {}

}  // namespace app
