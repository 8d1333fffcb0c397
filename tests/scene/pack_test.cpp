// The mesh pack walk: whole-name lookup, the last entry, and entries that run past the end.
#include <gtest/gtest.h>

#include <algorithm>

#include "scene/scene.h"

using namespace glimmer;

namespace {

// name, zero byte, u32 size as stated (not necessarily the payload's), payload.
void entry(std::vector<uint8_t>& b, const std::string& name, std::vector<uint8_t> payload,
           uint32_t size) {
  b.insert(b.end(), name.c_str(), name.c_str() + name.size() + 1);
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(size >> (8 * i)));
  b.insert(b.end(), payload.begin(), payload.end());
}

TEST(MeshPack, FindsWholeNamesOnlyAndStopsAtAnEntryPastTheEnd) {
  std::vector<uint8_t> p;
  entry(p, "box.msh", {1, 2, 3}, 3);
  entry(p, "clock.msh", {4}, 1);
  entry(p, "photo.tga", {5, 6}, 2);
  const std::vector<uint8_t> lastEntry = {5, 6};
  EXPECT_TRUE(std::ranges::equal(findPackEntry(p, "photo.tga"), lastEntry));
  for (const char* miss : {"Box.msh", "box.ms", "box", "box.msh2"})
    EXPECT_EQ(findPackEntry(p, miss).data(), nullptr) << miss;
  EXPECT_EQ(listPackEntries(p).size(), 3u);

  entry(p, "b.msh", {1, 2}, 1000);  // states 1000 bytes, 2 remain
  std::string why;
  EXPECT_EQ(listPackEntries(p, &why).size(), 3u);
  EXPECT_NE(why.find("'b.msh' at offset 46"), std::string::npos) << why;  // 15 + 15 + 16 bytes
  EXPECT_EQ(findPackEntry(p, "b.msh").data(), nullptr);
  // A name without its terminator at the very end, and no pack at all.
  EXPECT_TRUE(listPackEntries(std::vector<uint8_t>{'a', 'b'}, &why).empty());
  EXPECT_NE(why.find("offset 0"), std::string::npos) << why;
  EXPECT_EQ(findPackEntry(std::span<const uint8_t>(), "a").data(), nullptr);
}

}  // namespace
