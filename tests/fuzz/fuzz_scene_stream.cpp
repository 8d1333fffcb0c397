// Fuzzes the SceneData reader and the loader: any bytes either parse and write back identically
// or are refused; loading creates entities only for a whole stream.
#include <cstdint>
#include <cstdlib>

#include "scene/scene.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace glimmer;
  std::span<const uint8_t> bytes(data, size);
  SceneStream stream;
  SceneError error;
  const bool ok = parseSceneStream(bytes, "fuzz", stream, error);
  if (ok) {
    const auto back = writeSceneStream(stream);
    if (back.size() != size || !std::equal(back.begin(), back.end(), data)) std::abort();
  } else {
    (void)error.message();
  }
  createRegistry();
  timeline = new TimelineObject();
  const int32_t n = loadSceneData(bytes, "fuzz", nullptr, error);
  if ((n >= 0) != ok) std::abort();
  timeline->step();
  delete timeline;
  timeline = nullptr;
  destroyRegistry();
  return 0;
}
