// Fuzzes the scene source compiler: any text either compiles, and then its decompiled form
// compiles to the same bytes, or is refused with a positioned error.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/compile/compile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  glimmer::SceneStream stream;
  std::string error;
  if (!glimmerc::compileSceneSource(text, "fuzz.scene", stream, error)) {
    if (error.rfind("fuzz.scene:", 0) != 0) std::abort();
    return 0;
  }
  const auto bytes = glimmer::writeSceneStream(stream);
  glimmer::SceneStream again;
  if (!glimmerc::compileSceneSource(glimmerc::decompileScene(stream), "d", again, error)) std::abort();
  if (glimmer::writeSceneStream(again) != bytes) std::abort();
  return 0;
}
