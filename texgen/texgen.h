// The texture generator: texture objects that run short command lists into 32-bit images, the
// process-wide buffers the commands share, and the hand-over of finished images to the GPU.
//
// Index:
//   TexturePixel, limits, opcodes and blend modes
//   TextureGeometry and the shared buffers (one reset function)
//   TextureGpuHooks   what render/ installs so that upload() reaches OpenGL
//   TextureObject     the category-0 scene entity
//   runTextureCommand, combineImages, command checks for compilers, PNG writing
//
// texgen never calls OpenGL; with no hooks installed (tools, tests) upload() keeps the image on
// the CPU only.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "scene/scene.h"

namespace glimmer {

// One pixel 0xAARRGGBB: bytes blue, green, red, alpha in memory (the BGRA upload order).
using TexturePixel = uint32_t;
using TextureParams = std::array<float, kParamCount>;

constexpr int32_t kDefaultTextureSize = 256;
constexpr int32_t kMinTextureSize = 2;
constexpr int32_t kMaxTextureSize = 512;
constexpr int32_t kMaxTexturePixels = kMaxTextureSize * kMaxTextureSize;
constexpr int kLayerCount = 16;
constexpr int kBlurTableSize = 128;
constexpr int32_t kTextureSeedStart = 0x01DE2B57;
constexpr size_t kMaxTextBytes = 511;

enum class TextureOp : uint8_t {
  Fill = 0,
  Rectangle = 1,
  Circle = 2,
  Checker = 3,
  Waves = 4,
  Noise = 5,
  Dots = 6,
  FractalNoise = 7,
  Blur = 8,
  Invert = 9,
  RotoZoom = 10,
  Twirl = 11,
  BrightnessContrast = 12,
  Tint = 13,
  StoreLayer = 14,
  MoveToLayer = 15,
  CombineLayer = 16,
  ClearImage = 17,
  Emboss = 18,
  RadialGlow = 19,
  NormalMap = 20,
  LoadPackImage = 21,
  Resize = 22,
  RenderText = 23,
};
constexpr int kTextureOpCount = 24;

// Blend modes of combineImages (bits 8-15 of the command word).
enum class BlendMode : uint8_t {
  Or = 0,
  Xor = 1,
  And = 2,
  Add = 3,
  Subtract = 4,
  Multiply = 5,
  Average = 6,
  Minimum = 7,
  Maximum = 8,
  Screen = 9,
  Burn = 10,
  Dodge = 11,
};
constexpr int kBlendModeCount = 12;

// Operator name of an opcode ("Fill" ...), null from 24 on.
const char* textureOpName(int opcode);
// Name of a blend mode ("Or" ...), null from 12 on.
const char* blendModeLabel(int mode);

// ---------------------------------------------------------------------------------------------
// Process-wide state shared by every texture command. Only the main thread touches it, and only
// one command of one texture runs at a time.

// Describes the edge length being processed; set before every command.
struct TextureGeometry {
  int32_t texSize = 0;      // edge length
  int32_t texPixels = 0;    // texSize squared
  int32_t texBytes = 0;     // texPixels * 4
  float texInvSize = 0.0f;  // 1 / texSize
  uint8_t texShift = 0;     // log2(texSize)
  int32_t smoothFlag = 0;   // bit 16 of the command word
  int32_t edgeMode = 0;     // bits 17-18: 0 wrap, 1 clamp, 2 mirror, 3 transparent
};

// Everything the generator keeps from one command to the next, in one place: the geometry, the
// work, layer and scratch images, the FractalNoise lattice, the Blur tables and the random state.
// resetTextureState() puts all of it back to its start values.
struct TextureGenState {
  TextureGeometry geometry;
  // Cleared before every command; generators draw here, filters keep their source copy here.
  TexturePixel workImage[kMaxTexturePixels];
  // Saved images (StoreLayer, MoveToLayer, CombineLayer); always read at the reader's edge length.
  TexturePixel layerImages[kLayerCount][kMaxTexturePixels];
  // saveToScratch() / loadFromScratch().
  TexturePixel scratchImage[kMaxTexturePixels];
  // Random lattice of FractalNoise.
  uint8_t noiseLattice[kMaxTexturePixels];
  // Gaussian weights (index i is the offset i - 64) and fixed-point taps of Blur.
  float blurKernel[kBlurTableSize];
  int32_t blurTaps[kBlurTableSize];
  // State of the 15-bit random generator of FractalNoise; starts at kTextureSeedStart.
  int32_t textureSeed = kTextureSeedStart;
};
extern TextureGenState textureState;

// The names the operators use for the parts of textureState.
inline TextureGeometry& textureGeometry = textureState.geometry;
inline TexturePixel (&workImage)[kMaxTexturePixels] = textureState.workImage;
inline TexturePixel (&layerImages)[kLayerCount][kMaxTexturePixels] = textureState.layerImages;
inline TexturePixel (&scratchImage)[kMaxTexturePixels] = textureState.scratchImage;
inline uint8_t (&noiseLattice)[kMaxTexturePixels] = textureState.noiseLattice;
inline float (&blurKernel)[kBlurTableSize] = textureState.blurKernel;
inline int32_t (&blurTaps)[kBlurTableSize] = textureState.blurTaps;
inline int32_t& textureSeed = textureState.textureSeed;

// Puts every shared buffer, the geometry and textureSeed back to their start values. Called at
// the start of a run (tools) and by tests; the show itself starts from the static zero state.
void resetTextureState();

// Fills textureGeometry for edge length n (texShift: 1 for 2, 8 for 256, 9 for 512).
void setTextureGeometry(int32_t n);

// ---------------------------------------------------------------------------------------------
// GPU hand-over. render/ installs these once the GL context exists.

struct TextureGpuHooks {
  // Creates one OpenGL texture from a size x size image of 0xAARRGGBB pixels and returns its
  // name (0 on failure). It must: glGenTextures(1, &name); glBindTexture(GL_TEXTURE_2D, name);
  // glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP (0x8191), 1); glTexParameteri for
  // GL_TEXTURE_MIN_FILTER and GL_TEXTURE_MAG_FILTER = GL_LINEAR; glTexImage2D(GL_TEXTURE_2D, 0,
  // GL_RGBA, size, size, 0, GL_BGRA (0x80E1), GL_UNSIGNED_BYTE, pixels). No wrap mode is set
  // (the default repeat applies) and the texture stays bound.
  uint32_t (*create)(int32_t size, const TexturePixel* pixels) = nullptr;
  // Deletes one texture name (glDeleteTextures(1, &name)).
  void (*destroy)(uint32_t name) = nullptr;
};
// Installs the hooks (a default-constructed value removes them).
void setTextureGpuHooks(const TextureGpuHooks& hooks);
const TextureGpuHooks& textureGpuHooks();

// ---------------------------------------------------------------------------------------------
// TextureObject

class TextureObject : public SceneEntity {
 public:
  // A zeroed 256 x 256 image and no GL texture.
  TextureObject();
  // Frees the image; the GL texture is left to the end of the GL context.
  ~TextureObject() override;

  int saveToScratch() override;                   // slot 0: pixels -> scratchImage
  int loadFromScratch() override;                 // slot 1: scratchImage -> pixels
  int applyCommand(const Track& track) override;  // slot 2: Resize, then enabled commands
  int precalc() override;                         // slot 3: tracks B, tracks A, upload, draw
  void clear() override;                          // slot 5: image to 0
  void upload() override;                         // slot 6: through the GPU hooks
  void release() override;                        // slot 7: deletes glTexture when there is one
  void draw() override {}                         // slot 8: nothing

  // Sets the edge length: the same length keeps the image, another gives a zeroed image. An edge
  // length that is not a power of two from 2 to 512 is refused (returns false, nothing changes),
  // because the shared buffers hold 512 x 512 and the operators mask with size - 1.
  bool resize(int32_t n);

  TexturePixel* data() { return pixels.data(); }
  const TexturePixel* data() const { return pixels.data(); }

  uint32_t glTexture = 0;
  int32_t size = -1;
  std::vector<TexturePixel> pixels;  // size * size, row 0 first; empty only before the first resize
};

// The 128 x 128 texture the renderer copies frames into; owned by the application, null in
// tools and tests.
extern TextureObject* frameCopyTexture;

// True when n is a power of two from 2 to 512.
bool isValidTextureSize(int32_t n);

// Runs one command on an image of textureGeometry.texSize (the dispatcher): clears workImage,
// then draws and blends, filters in place, or moves layers. Opcodes above 23 only clear
// workImage. A layer index outside 0-15 makes a layer command do nothing.
void runTextureCommand(TexturePixel* image, const Track& track);

// Blends src into dst over texPixels pixels with a blend mode; modes 12-255 leave dst unchanged.
void combineImages(TexturePixel* dst, const TexturePixel* src, uint8_t mode);

// Why a texture command cannot run as written, or an empty string: a layer command whose index
// (p0, in its params or any key) is outside 0-15, or a Resize to an edge length that is not a
// power of two from 2 to 512. Compilers refuse such commands.
std::string textureCommandProblem(const TrackRecord& track);

// Checks a stored TGA image the way LoadPackImage reads it; empty when it loads, else what is
// wrong and the payload offset in *offset.
std::string packImageProblem(std::span<const uint8_t> payload, size_t* offset = nullptr);

// Writes an 8-bit RGBA PNG (rows top to bottom as given). Returns false when the file cannot be
// written.
bool writePngRgba(const char* path, int width, int height, const uint8_t* rgba);

}  // namespace glimmer
