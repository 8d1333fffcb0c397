// TextureObject, the shared texture state, the command dispatcher and the GPU hand-over.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "scene/opcodes.h"
#include "texgen/internal.h"

namespace glimmer {

TextureGenState textureState;
TextureObject* frameCopyTexture = nullptr;

namespace {

TextureGpuHooks gpuHooks;

bool isLayerOp(int op) { return op >= 14 && op <= 16; }

}  // namespace

// Names come from the shared command tables, the ones the scene source writes.
const char* textureOpName(int opcode) {
  const OpcodeDef* d = findOpcode(Category::Texture, opcode);
  return d ? d->name : nullptr;
}

const char* blendModeLabel(int mode) { return valueName(blendModes(), mode); }

void resetTextureState() {
  textureGeometry = TextureGeometry{};
  std::memset(workImage, 0, sizeof workImage);
  std::memset(layerImages, 0, sizeof layerImages);
  std::memset(scratchImage, 0, sizeof scratchImage);
  std::memset(noiseLattice, 0, sizeof noiseLattice);
  std::memset(blurKernel, 0, sizeof blurKernel);
  std::memset(blurTaps, 0, sizeof blurTaps);
  textureSeed = kTextureSeedStart;
}

void setTextureGeometry(int32_t n) {
  TextureGeometry& g = textureGeometry;
  g.texSize = n;
  g.texPixels = n * n;
  g.texBytes = g.texPixels * 4;
  g.texInvSize = 1.0f / static_cast<float>(n);
  g.texShift = 1;
  for (int32_t v = 2; v < n; v *= 2) ++g.texShift;
}

void setTextureGpuHooks(const TextureGpuHooks& hooks) { gpuHooks = hooks; }
const TextureGpuHooks& textureGpuHooks() { return gpuHooks; }

bool isValidTextureSize(int32_t n) {
  return n >= kMinTextureSize && n <= kMaxTextureSize && (n & (n - 1)) == 0;
}

// ---------------------------------------------------------------------------------------------
// TextureObject

TextureObject::TextureObject() { resize(kDefaultTextureSize); }

TextureObject::~TextureObject() = default;

bool TextureObject::resize(int32_t n) {
  if (n == size) return true;
  if (!isValidTextureSize(n)) return false;
  size = n;
  pixels.assign(static_cast<size_t>(n) * static_cast<size_t>(n), 0u);
  return true;
}

int TextureObject::saveToScratch() {
  std::copy(pixels.begin(), pixels.end(), scratchImage);
  return 0;
}

int TextureObject::loadFromScratch() {
  std::copy(scratchImage, scratchImage + pixels.size(), pixels.begin());
  return 0;
}

int TextureObject::applyCommand(const Track& track) {
  // Resize acts even on a disabled command.
  if (track.opcode() == static_cast<uint8_t>(TextureOp::Resize)) resize(toInt(track.params[0]));
  if (!track.isEnabled()) return 0;
  setTextureGeometry(size);
  runTextureCommand(pixels.data(), track);
  return 0;
}

int TextureObject::precalc() {
  applyTracksB();
  applyTracksA();
  upload();
  draw();
  return 0;
}

void TextureObject::clear() { std::fill(pixels.begin(), pixels.end(), 0u); }

void TextureObject::upload() {
  release();
  if (pixels.empty()) return;
  if (gpuHooks.create) glTexture = gpuHooks.create(size, pixels.data());
}

void TextureObject::release() {
  if (glTexture != 0 && gpuHooks.destroy) gpuHooks.destroy(glTexture);
  glTexture = 0;
}

// ---------------------------------------------------------------------------------------------
// Dispatcher

void runTextureCommand(TexturePixel* image, const Track& track) {
  using namespace texgen;
  const uint32_t word = track.word;
  const int op = static_cast<int>(word & 0xFF);
  const auto mode = static_cast<uint8_t>((word >> 8) & 0xFF);
  const uint32_t flags = (word >> 16) & 0xFF;
  const int32_t layer = toInt(track.params[0]);
  assert(textureGeometry.texSize >= 2 && textureGeometry.texSize <= kMaxTextureSize &&
         "setTextureGeometry must describe the image before a texture command runs");
  textureGeometry.smoothFlag = static_cast<int32_t>(flags & 1);
  textureGeometry.edgeMode = static_cast<int32_t>((flags >> 1) & 3);
  const int32_t n = textureGeometry.texPixels;
  std::fill(workImage, workImage + n, 0u);
  if (op >= kTextureOpCount) return;

  const TextureParams& p = track.params;
  const char* name = track.nameOrNull();
  // A layer index outside the 16 slots is ignored rather than reaching past the layer buffers.
  const bool layerOk = layer >= 0 && layer < kLayerCount;
  bool drawn = true;
  switch (static_cast<TextureOp>(op)) {
    case TextureOp::Fill:
      fill(workImage, p);
      break;
    case TextureOp::Rectangle:
      rectangle(workImage, p);
      break;
    case TextureOp::Circle:
      circle(workImage, p);
      break;
    case TextureOp::Checker:
      checker(workImage, p);
      break;
    case TextureOp::Waves:
      waves(workImage, p);
      break;
    case TextureOp::Noise:
      noise(workImage, p);
      break;
    case TextureOp::Dots:
      dots(workImage, p);
      break;
    case TextureOp::FractalNoise:
      fractalNoise(workImage, p);
      break;
    case TextureOp::RadialGlow:
      radialGlow(workImage, p);
      break;
    case TextureOp::LoadPackImage:
      loadPackImage(workImage, name);
      break;
    case TextureOp::RenderText:
      renderText(workImage, p, name);
      break;
    default:
      drawn = false;
      break;
  }
  if (drawn) {
    combineImages(image, workImage, mode);
    return;
  }
  switch (static_cast<TextureOp>(op)) {
    case TextureOp::Blur:
      blur(image, p);
      break;
    case TextureOp::Invert:
      invert(image);
      break;
    case TextureOp::RotoZoom:
      rotoZoom(image, p);
      break;
    case TextureOp::Twirl:
      twirl(image, p);
      break;
    case TextureOp::BrightnessContrast:
      brightnessContrast(image, p);
      break;
    case TextureOp::Tint:
      tint(image, p);
      break;
    case TextureOp::Emboss:
      emboss(image);
      break;
    case TextureOp::NormalMap:
      normalMap(image, p);
      break;
    case TextureOp::StoreLayer:
      if (layerOk) std::copy(image, image + n, layerImages[layer]);
      break;
    case TextureOp::MoveToLayer:
      if (layerOk) {
        std::copy(image, image + n, layerImages[layer]);
        std::fill(image, image + n, 0u);
      }
      break;
    case TextureOp::CombineLayer:
      if (layerOk) combineImages(image, layerImages[layer], mode);
      break;
    case TextureOp::ClearImage:
      std::fill(image, image + n, 0u);
      break;
    default:
      break;  // Resize: applyCommand did the work
  }
}

// ---------------------------------------------------------------------------------------------
// Checks for compilers

namespace {

std::string problemWith(int op, const std::array<float, kParamCount>& v, const char* where) {
  const float p0 = v[0];
  if (isLayerOp(op)) {
    const int32_t i = toInt(p0);
    if (!(i >= 0 && i < kLayerCount))
      return std::string(textureOpName(op)) + where + ": layer index " + std::to_string(i) +
             " is outside 0-15";
  } else if (op == static_cast<int>(TextureOp::Resize)) {
    const int32_t n = toInt(p0);
    if (!isValidTextureSize(n))
      return std::string("Resize") + where + ": edge length " + std::to_string(n) +
             " is not a power of two from 2 to 512";
  }
  return {};
}

}  // namespace

std::string textureCommandProblem(const TrackRecord& track) {
  const int op = static_cast<int>(track.word & 0xFF);
  // A disabled layer command never runs; a disabled Resize still does.
  if (isLayerOp(op) && (track.word & kEnabledBit) == 0) return {};
  std::string why = problemWith(op, track.params, "");
  if (!why.empty()) return why;
  if ((track.word & kAnimatedBit) == 0) return {};
  // Keys set p0 while the command is animated; every key must be usable too.
  for (size_t k = 0; k < track.keys.size(); ++k) {
    why = problemWith(op, track.keys[k].values, (" (key " + std::to_string(k) + ")").c_str());
    if (!why.empty()) return why;
  }
  return {};
}

}  // namespace glimmer
