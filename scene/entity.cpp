// SceneEntity's shared operations, the registry and the precalculation pass.
#include <cassert>

#include "scene/scene.h"

namespace glimmer {

EntityRegistry* entityRegistry = nullptr;
TimelineObject* timeline = nullptr;

SceneEntity::~SceneEntity() {
  tracksA.clear();
  tracksB.clear();
}

void SceneEntity::applyList(const EntityList<Track>& list) {
  for (auto* n = list.first(); n; n = n->next)
    if (n->value->isEnabled()) applyCommand(*n->value);
}

void SceneEntity::applyTracksA() { applyList(tracksA); }
void SceneEntity::applyTracksB() { applyList(tracksB); }

void SceneEntity::update(float time, float /*delta*/) {
  for (auto* n = tracksA.first(); n; n = n->next)
    if (n->value->isAnimated()) n->value->evaluate(time);
  applyTracksA();
}

void createRegistry() {
  assert(!entityRegistry && "registry created twice");
  entityRegistry = new EntityRegistry();
}

void destroyRegistry() {
  if (!entityRegistry) return;
  for (int c = kCategoryCount - 1; c >= 0; --c) (*entityRegistry)[c].clear();
  delete entityRegistry;
  entityRegistry = nullptr;
}

SceneEntity* registryEntity(Category c, int index) {
  if (!entityRegistry) return nullptr;
  return (*entityRegistry)[c].at(index);
}

void precalcAll(int32_t total, const std::function<void(int32_t)>& progress) {
  int32_t k = -1;
  if (entityRegistry) {
    for (int c = 0; c < kCategoryCount; ++c) {
      for (auto* n = (*entityRegistry)[c].first(); n; n = n->next) {
        ++k;
        // total counts the timeline's record too, so it is never 0 here; guard all the same.
        if (progress) progress(total > 0 ? static_cast<int32_t>(int64_t{k} * 100 / total) : 0);
        n->value->precalc();
      }
    }
  }
  if (progress) progress(100);
}

const char* categoryName(Category c) {
  switch (c) {
    case Category::Texture: return "texture";
    case Category::Mesh: return "mesh";
    case Category::Light: return "light";
    case Category::Scene: return "scene";
    case Category::Timeline: return "timeline";
    case Category::Particle: return "particles";
  }
  return "?";
}

}  // namespace glimmer
