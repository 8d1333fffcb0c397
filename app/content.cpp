// The show's content: resource bytes (embedded or from files named on the command line), the
// entity factory, and loading with the precalculation pass under the loading bar.
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/loading_bar.h"
#include "app/shell.h"
#include "mesh/mesh.h"
#include "music/music.h"
#include "platform/platform.h"
#include "platform/sound_device.h"
#include "render/render.h"
#include "resources/resources.h"
#include "texgen/texgen.h"
#include "tools/compile/compile.h"

namespace app {

namespace {

// File contents kept for the whole run: the entities and the mesh pack point into them.
struct FileBytes {
  std::string name;
  bool loaded = false;
  std::vector<uint8_t> bytes;
};
std::array<FileBytes, 3> gFiles;

size_t fileSlot(int id) {
  switch (id) {
    case resources::kSceneData:
      return 0;
    case resources::kMeshPack:
      return 1;
    default:
      return 2;
  }
}

}  // namespace

glimmer::SceneEntity* createEntity(glimmer::Category category) {
  using glimmer::Category;
  switch (category) {
    case Category::Texture:
      return new glimmer::TextureObject();
    case Category::Mesh:
      return new glimmer::MeshObject();
    case Category::Light:
    case Category::Scene:
    case Category::Particle:
      if (glimmer::SceneEntity* e = render::createEntity(category)) return e;
      return new glimmer::SceneEntity();
    case Category::Timeline:
      break;
  }
  return nullptr;
}

bool resourceBytes(int id, const std::string& file, std::span<const uint8_t>& bytes,
                   std::string& failure) {
  if (file.empty()) {
    bytes = resources::find(id);
    return true;
  }
  FileBytes& slot = gFiles[fileSlot(id)];
  if (!slot.loaded || slot.name != file) {
    // A source is compiled here; a compiled file is taken as it is. One line says which.
    const auto start = std::chrono::steady_clock::now();
    glimmer::compile::Loaded loaded =
        id == resources::kSceneData  ? glimmer::compile::loadScene(file)
        : id == resources::kMeshPack ? glimmer::compile::loadPack(file)
                                     : glimmer::compile::loadMusic(file);
    for (const std::string& w : loaded.warnings) std::fprintf(stderr, "%s\n", w.c_str());
    if (!loaded.error.empty()) {
      failure = loaded.error;
      return false;
    }
    const char* what = id == resources::kSceneData  ? "scene"
                       : id == resources::kMeshPack ? "pack"
                                                    : "music";
    if (loaded.fromSource) {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
      std::fprintf(stderr, "glimmer: %s %s (source, compiled in %lld ms)\n", what, file.c_str(),
                   static_cast<long long>(ms.count()));
    } else {
      std::fprintf(stderr, "glimmer: %s %s (compiled, %zu bytes)\n", what, file.c_str(),
                   loaded.bytes.size());
    }
    slot.bytes = std::move(loaded.bytes);
    slot.name = file;
    slot.loaded = true;
  }
  bytes = slot.bytes;
  return true;
}

bool readResourceFiles(const Options& options, std::string& failure) {
  std::span<const uint8_t> bytes;
  return resourceBytes(resources::kSceneData, options.sceneFile, bytes, failure) &&
         resourceBytes(resources::kMeshPack, options.packFile, bytes, failure) &&
         resourceBytes(resources::kMusicModule, options.musicFile, bytes, failure);
}

bool loadContent(const Options& options, bool drawBar, std::string& failure) {
  std::span<const uint8_t> pack;
  if (!resourceBytes(resources::kMeshPack, options.packFile, pack, failure)) return false;
  glimmer::meshPackData = pack;

  glimmer::createRegistry();
  glimmer::timeline = new glimmer::TimelineObject();

  std::span<const uint8_t> scene;
  if (!resourceBytes(resources::kSceneData, options.sceneFile, scene, failure)) return false;
  glimmer::SceneError error;
  const std::string name = options.sceneFile.empty() ? "SceneData" : options.sceneFile;
  const int32_t records = glimmer::loadSceneData(scene, name, createEntity, error);
  if (records < 0) {
    failure = error.message();
    return false;
  }

  // Test hook: press Escape while the first entity builds, as an impatient viewer would.
  static bool escapeWhileLoading = std::getenv("GLIMMER_TEST_ESCAPE_WHILE_LOADING") != nullptr;
  if (drawBar)
    glimmer::precalcAll(records, [](int32_t percent) {
      drawLoadingBar(percent);
      if (escapeWhileLoading && percent == 0) platform::injectEscapePress();
    });
  else
    glimmer::precalcAll(records, nullptr);
  return true;
}

void startMusic(const Options& options) {
  std::span<const uint8_t> module;
  std::string failure;
  if (!resourceBytes(resources::kMusicModule, options.musicFile, module, failure)) {
    std::fprintf(stderr, "glimmer: %s\n", failure.c_str());
    return;
  }
  glimmer::music::setModuleBytes(module);
  glimmer::music::installResourceCallbacks();
  glimmer::music::LoadError error;
  song = glimmer::music::loadSong("glimmer.xm", &error);
  if (!song) {
    // The show runs on in silence; its timing never depends on the music.
    const std::string name = options.musicFile.empty() ? "MusicModule" : options.musicFile;
    std::fprintf(stderr, "glimmer: %s: %s\n", name.c_str(), error.describe().c_str());
  }
  platform::sleepMilliseconds(20);
  // The device falls back to a silent one that follows the clock by itself when no sound card
  // opens.
  musicStarted = glimmer::music::play(song, platform::systemSoundDevice());
  if (!musicStarted && song) {
    // Not even the silent fallback opened: a device that only follows the clock keeps the
    // player running in silence.
    static glimmer::music::NullSoundDevice clockDevice;
    musicStarted = glimmer::music::play(song, clockDevice);
  }
}

}  // namespace app
