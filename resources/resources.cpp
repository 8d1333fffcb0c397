// Lookup of the resources that embed.S places in the executable.
#include "resources/resources.h"

extern "C" {
extern const uint8_t glimmer_res_scene_begin[], glimmer_res_scene_end[];
extern const uint8_t glimmer_res_pack_begin[], glimmer_res_pack_end[];
extern const uint8_t glimmer_res_music_begin[], glimmer_res_music_end[];
}

namespace resources {

std::span<const uint8_t> find(int id) {
  switch (id) {
    case kSceneData:
      return {glimmer_res_scene_begin, glimmer_res_scene_end};
    case kMeshPack:
      return {glimmer_res_pack_begin, glimmer_res_pack_end};
    case kMusicModule:
      return {glimmer_res_music_begin, glimmer_res_music_end};
    default:
      return {};
  }
}

}  // namespace resources
