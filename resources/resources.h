// The data resources embedded in the show executable, looked up by id.
#pragma once

#include <cstdint>
#include <span>

namespace resources {

constexpr int kMusicModule = 247;
constexpr int kSceneData = 256;
constexpr int kMeshPack = 257;

// Bytes of the resource with this id; an empty span when the executable holds none.
std::span<const uint8_t> find(int id);

}  // namespace resources
