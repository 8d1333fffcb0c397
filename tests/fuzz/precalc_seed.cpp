// Writes the seed of fuzz_scene_precalc: a compiled scene stream without its own trailing bytes,
// followed by a compiled mesh pack, which the fuzz target then finds as the stream's trailing
// bytes. Usage: fuzz_precalc_seed OUT SCENE.bin PACK.bin
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "scene/scene.h"

namespace {

std::vector<uint8_t> readAll(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: fuzz_precalc_seed OUT SCENE.bin PACK.bin\n");
    return 2;
  }
  const std::vector<uint8_t> scene = readAll(argv[2]);
  glimmer::SceneStream stream;
  glimmer::SceneError error;
  if (!glimmer::parseSceneStream(scene, argv[2], stream, error)) {
    std::fprintf(stderr, "%s\n", error.message().c_str());
    return 1;
  }
  stream.trailing = readAll(argv[3]);
  const std::vector<uint8_t> out = glimmer::writeSceneStream(stream);
  std::ofstream file(argv[1], std::ios::binary);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  return file ? 0 : 1;
}
