// Shared entity operations, the registry's teardown order and the precalculation percentages.
#include <gtest/gtest.h>

#include <string>
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
    gLog.push_back(name + " apply " + std::to_string(t.opcode()) + " " + std::to_string(t.params[0]));
    return 0;
  }
  int precalc() override {
    gLog.push_back("precalc " + name);
    return 0;
  }
  std::string name;
};

Track* addTrack(EntityList<Track>& list, uint32_t word, float p0 = 0.0f) {
  Track* t = list.append(new Track());
  t->word = word;
  t->params[0] = p0;
  return t;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gLog.clear();
    createRegistry();
  }
  void TearDown() override { destroyRegistry(); }
};

TEST_F(RegistryTest, ApplyTracksSkipsDisabledButUpdateStillEvaluatesThem) {
  Probe p("e");
  addTrack(p.tracksA, kEnabledBit | 1, 1.0f);
  Track* off = addTrack(p.tracksA, kAnimatedBit | 2, 2.0f);  // disabled, animated
  Key* k = off->appendKey();
  k->time = 10.0f;
  k->values[0] = 42.0f;
  addTrack(p.tracksB, kEnabledBit | 3, 3.0f);
  p.update(5.0f, 0.1f);
  EXPECT_EQ(off->params[0], 42.0f);  // evaluated
  EXPECT_EQ(gLog, (std::vector<std::string>{"e apply 1 1.000000"}));  // list B untouched
  gLog.clear();
  p.applyTracksB();
  EXPECT_EQ(gLog, (std::vector<std::string>{"e apply 3 3.000000"}));
  gLog.clear();
}

TEST_F(RegistryTest, TeardownRunsCategoriesBackwardsAndListsTailFirst) {
  (*entityRegistry)[Category::Texture].append(new Probe("t0"));
  (*entityRegistry)[Category::Texture].append(new Probe("t1"));
  (*entityRegistry)[Category::Mesh].append(new Probe("m0"));
  (*entityRegistry)[Category::Particle].append(new Probe("p0"));
  (*entityRegistry)[Category::Particle].append(new Probe("p1"));
  destroyRegistry();
  EXPECT_EQ(gLog, (std::vector<std::string>{"delete p1", "delete p0", "delete m0", "delete t1", "delete t0"}));
}

TEST_F(RegistryTest, PrecalcDrawsShareBeforeEachEntityThenHundred) {
  for (const char* n : {"a", "b", "c"}) (*entityRegistry)[Category::Texture].append(new Probe(n));
  (*entityRegistry)[Category::Scene].append(new Probe("s"));
  std::vector<int> bars;
  precalcAll(5, [&](int p) {
    bars.push_back(p);
    gLog.push_back("bar " + std::to_string(p));
  });
  EXPECT_EQ(bars, (std::vector<int>{0, 20, 40, 60, 100}));  // the timeline's record counts in total
  EXPECT_EQ(gLog[0], "bar 0");
  EXPECT_EQ(gLog[1], "precalc a");
  gLog.clear();
}

TEST_F(RegistryTest, PrecalcWithNothingDrawsOnlyHundred) {
  std::vector<int> bars;
  precalcAll(0, [&](int p) { bars.push_back(p); });
  EXPECT_EQ(bars, (std::vector<int>{100}));
}

TEST(EntityListTest, AtPastEndIsNullAndCountWalks) {
  EntityList<int> l;
  l.append(new int(1));
  l.append(new int(2));
  EXPECT_EQ(l.count(), 2);
  EXPECT_EQ(*l.at(1), 2);
  EXPECT_EQ(l.at(2), nullptr);
  EXPECT_EQ(l.at(-1), nullptr);
}

}  // namespace

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
  meshes.append(new Probe("m2"));
  EXPECT_EQ(probes.at(Category::Mesh, 2)->name, "m2");

  destroyRegistry();
  EXPECT_TRUE(probes.of(Category::Mesh).empty());  // no registry
  createRegistry();
  (*entityRegistry)[Category::Mesh].append(new Probe("n0"));
  (*entityRegistry)[Category::Mesh].append(new SceneEntity());
  (*entityRegistry)[Category::Mesh].append(new Probe("n2"));
  EXPECT_EQ(probes.at(Category::Mesh, 0)->name, "n0");
  EXPECT_EQ(probes.at(Category::Mesh, 2)->name, "n2");

  // The same registry emptied and refilled to the same count.
  TypedEntities<Probe> fresh;
  EXPECT_EQ(fresh.at(Category::Mesh, 0)->name, "n0");
  (*entityRegistry)[Category::Mesh].clear();
  for (const char* n : {"r0", "r1", "r2"}) (*entityRegistry)[Category::Mesh].append(new Probe(n));
  EXPECT_EQ(fresh.at(Category::Mesh, 1)->name, "r1");
  gLog.clear();
}
