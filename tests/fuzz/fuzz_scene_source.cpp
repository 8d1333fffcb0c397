// Fuzzes the scene source compiler: any text either compiles, and then its decompiled form
// compiles to the same bytes, or is refused with a positioned error. Warnings are positioned too.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/compile/compile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  glimmer::SceneStream stream;
  std::string error;
  std::vector<std::string> warnings;
  if (!glimmerc::compileSceneSource(text, "fuzz.scene", stream, error, nullptr, &warnings)) {
    if (error.rfind("fuzz.scene:", 0) != 0) std::abort();
    return 0;
  }
  for (const std::string& w : warnings)
    if (w.rfind("fuzz.scene:", 0) != 0) std::abort();
  const auto bytes = glimmer::writeSceneStream(stream);
  glimmer::SceneStream again;
  if (!glimmerc::compileSceneSource(glimmerc::decompileScene(stream), "d", again, error)) std::abort();
  if (glimmer::writeSceneStream(again) != bytes) std::abort();
  return 0;
}
