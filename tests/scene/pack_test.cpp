// The mesh pack walk: whole-name lookup, the last entry, and entries that run past the end.
#include <gtest/gtest.h>

#include "scene/scene.h"

using namespace glimmer;

namespace {

void entry(std::vector<uint8_t>& b, const std::string& name, std::vector<uint8_t> payload, uint32_t size) {
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0);
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(size >> (8 * i)));
  b.insert(b.end(), payload.begin(), payload.end());
}

TEST(MeshPack, FindsWholeNamesOnly) {
  std::vector<uint8_t> p;
  entry(p, "box.msh", {1, 2, 3}, 3);
  entry(p, "clock.msh", {4}, 1);
  entry(p, "photo.tga", {5, 6}, 2);
  auto last = findPackEntry(p, "photo.tga");
  ASSERT_EQ(last.size(), 2u);
  EXPECT_EQ(last[0], 5);
  EXPECT_EQ(findPackEntry(p, "Box.msh").data(), nullptr);
  EXPECT_EQ(findPackEntry(p, "box.ms").data(), nullptr);
  EXPECT_EQ(findPackEntry(p, "box").data(), nullptr);
  EXPECT_EQ(listPackEntries(p).size(), 3u);
}

TEST(MeshPack, EntryRunningPastTheEndEndsThePack) {
  std::vector<uint8_t> p;
  entry(p, "a.msh", {1}, 1);
  entry(p, "b.msh", {1, 2}, 1000);
  std::string why;
  EXPECT_EQ(listPackEntries(p, &why).size(), 1u);
  EXPECT_NE(why.find("b.msh"), std::string::npos);
  EXPECT_EQ(findPackEntry(p, "b.msh").data(), nullptr);
  // A name without its terminator at the very end.
  std::vector<uint8_t> q = {'a', 'b'};
  EXPECT_TRUE(listPackEntries(q, &why).empty());
  EXPECT_EQ(findPackEntry(std::span<const uint8_t>(), "a").data(), nullptr);
}

}  // namespace
