// Shared entity operations, the registry's teardown order, the precalculation percentages and the
// typed views of the registry.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "scene/scene.h"

using namespace glimmer;

namespace {

std::vector<std::string> gLog;

class Probe : public SceneEntity {
 public:
  explicit Probe(std::string n) : name(std::move(n)) {}
  ~Probe() override { gLog.push_back("delete " + name); }
  int applyCommand(const Track& t) override {
    gLog.push_back(name + " apply " + std::to_string(t.opcode()));
    return 0;
  }
  int precalc() override {
    gLog.push_back("precalc " + name);
    return 0;
  }
  std::string name;
};

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    createRegistry();
  }
  void TearDown() override { destroyRegistry(); }
  void add(Category c, std::initializer_list<const char*> names) {
    for (const char* n : names) (*entityRegistry)[c].append(new Probe(n));
  }
  std::vector<std::string> takeLog() { return std::exchange(gLog, {}); }
};

TEST_F(RegistryTest, ApplyTracksSkipsDisabledButUpdateStillEvaluatesThem) {
  Probe p("e");
  auto track = [](EntityList<Track>& list, uint32_t word) {
    Track* t = list.append(new Track());
    t->word = word;
    return t;
  };
  track(p.tracksA, kEnabledBit | 1);
  Track* off = track(p.tracksA, kAnimatedBit | 2);  // disabled, animated
  *off->appendKey() = {10.0f, 2, {42.0f}};
  track(p.tracksB, kEnabledBit | 3);
  p.update(5.0f, 0.1f);
  EXPECT_EQ(off->params[0], 42.0f);                               // evaluated
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"e apply 1"}));  // list B untouched
  p.applyTracksB();
  EXPECT_EQ(takeLog(), (std::vector<std::string>{"e apply 3"}));
}

TEST_F(RegistryTest, TeardownRunsCategoriesBackwardsAndListsTailFirst) {
  add(Category::Texture, {"t0", "t1"});
  add(Category::Mesh, {"m0"});
  add(Category::Particle, {"p0", "p1"});
  destroyRegistry();
  EXPECT_EQ(gLog, (std::vector<std::string>{"delete p1", "delete p0", "delete m0", "delete t1",
                                            "delete t0"}));
}

// progress(k * 100 / total) before entity k, then 100; total counts the timeline's record too.
TEST_F(RegistryTest, PrecalcDrawsShareBeforeEachEntityThenHundred) {
  std::vector<int> bars;
  precalcAll(0, [&](int p) { bars.push_back(p); });
  EXPECT_EQ(bars, (std::vector<int>{100}));
  add(Category::Texture, {"a", "b", "c"});
  add(Category::Scene, {"s"});
  bars.clear();
  precalcAll(5, [&](int p) {
    bars.push_back(p);
    gLog.push_back("bar " + std::to_string(p));
  });
  EXPECT_EQ(bars, (std::vector<int>{0, 20, 40, 60, 100}));
  EXPECT_EQ(gLog[0], "bar 0");
  EXPECT_EQ(gLog[1], "precalc a");
  gLog.clear();
}

// A typed view must follow its list: an entity appended later is seen, an entity of another type
// reads as null at its own index, and a registry made anew (often at the same address, with the
// same counts) is read afresh rather than through pointers to the deleted entities.
TEST_F(RegistryTest, TypedEntitiesFollowTheListAndANewRegistry) {
  TypedEntities<Probe> probes;
  auto& meshes = (*entityRegistry)[Category::Mesh];
  meshes.append(new Probe("m0"));
  meshes.append(new SceneEntity());
  EXPECT_EQ(probes.of(Category::Mesh).size(), 2u);
  EXPECT_EQ(probes.at(Category::Mesh, 0)->name, "m0");
  EXPECT_EQ(probes.at(Category::Mesh, 1), nullptr);  // another type
  EXPECT_EQ(probes.at(Category::Mesh, 2), nullptr);  // past the end
  EXPECT_EQ(probes.at(Category::Mesh, -1), nullptr);
  EXPECT_EQ(meshes.at(2), nullptr);
  EXPECT_EQ(meshes.at(-1), nullptr);
  add(Category::Mesh, {"m2"});
  EXPECT_EQ(probes.at(Category::Mesh, 2)->name, "m2");

  destroyRegistry();
  EXPECT_TRUE(probes.of(Category::Mesh).empty());  // no registry
  createRegistry();
  add(Category::Mesh, {"n0"});
  (*entityRegistry)[Category::Mesh].append(new SceneEntity());
  add(Category::Mesh, {"n2"});
  EXPECT_EQ(probes.at(Category::Mesh, 0)->name, "n0");
  EXPECT_EQ(probes.at(Category::Mesh, 2)->name, "n2");

  // The same registry emptied and refilled to the same count.
  TypedEntities<Probe> fresh;
  EXPECT_EQ(fresh.at(Category::Mesh, 0)->name, "n0");
  (*entityRegistry)[Category::Mesh].clear();
  add(Category::Mesh, {"r0", "r1", "r2"});
  EXPECT_EQ(fresh.at(Category::Mesh, 1)->name, "r1");
}

}  // namespace
