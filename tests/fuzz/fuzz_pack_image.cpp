// Feeds arbitrary bytes to LoadPackImage as the stored image entry of the mesh pack. The first
// byte picks the texture's edge length (2 to 512); the rest is the entry's payload, checked with
// packImageProblem and then drawn into a texture of that size.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "texgen/texgen.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace glimmer;
  if (size < 1) return 0;
  const int32_t edge = 2 << (data[0] % 9);
  const std::span<const uint8_t> payload(data + 1, size - 1);
  size_t offset = 0;
  const std::string problem = packImageProblem(payload, &offset);
  if (!problem.empty() && offset > payload.size()) std::abort();

  // A pack of one entry named "image": name, terminator, u32 size, payload.
  std::vector<uint8_t> pack{'i', 'm', 'a', 'g', 'e', 0};
  const auto n = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) pack.push_back(static_cast<uint8_t>(n >> (8 * i)));
  pack.insert(pack.end(), payload.begin(), payload.end());
  meshPackData = pack;

  TextureObject texture;
  Track resize;
  resize.word = static_cast<uint32_t>(TextureOp::Resize) | kEnabledBit;
  resize.params[0] = static_cast<float>(edge);
  texture.applyCommand(resize);
  Track load;
  load.word = static_cast<uint32_t>(TextureOp::LoadPackImage) | kEnabledBit;
  load.name = "image";
  texture.applyCommand(load);
  if (texture.size != edge) std::abort();
  meshPackData = {};
  return 0;
}
