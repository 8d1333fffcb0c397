// Lookup of the RCDATA resources that the resource script places in the executable.
#include "platform/resource_data.h"
#include "resources/resources.h"

namespace resources {

std::span<const uint8_t> find(int id) {
  switch (id) {
    case kSceneData:
    case kMeshPack:
    case kMusicModule:
      return platform::resourceData(id);
    default:
      return {};
  }
}

}  // namespace resources
