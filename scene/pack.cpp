// The mesh pack container: a bounded walk over named entries.
#include <algorithm>
#include <cstring>

#include "scene/scene.h"

namespace glimmer {

std::span<const uint8_t> meshPackData;

namespace {

// Reads the entry at pos; false at the end of the pack or when the entry runs past it.
bool nextEntry(std::span<const uint8_t> pack, size_t& pos, PackEntry& e, std::string* why) {
  if (pos >= pack.size()) return false;
  const size_t start = pos;
  const size_t limit = std::min(pack.size() - pos, kMaxNameBytes);
  size_t n = 0;
  while (n < limit && pack[pos + n] != 0) ++n;
  size_t afterName;
  if (n < limit) {
    afterName = pos + n + 1;  // terminator included
  } else if (n == kMaxNameBytes) {
    afterName = pos + kMaxNameBytes;  // 512 bytes without a terminator: the name is those bytes
  } else {
    if (why) *why = "entry name at offset " + std::to_string(start) + " runs past the end of the pack";
    return false;
  }
  if (pack.size() - afterName < 4) {
    if (why) *why = "entry size at offset " + std::to_string(afterName) + " runs past the end of the pack";
    return false;
  }
  const uint8_t* s = pack.data() + afterName;
  const uint32_t size = uint32_t{s[0]} | uint32_t{s[1]} << 8 | uint32_t{s[2]} << 16 | uint32_t{s[3]} << 24;
  const size_t payload = afterName + 4;
  if (size > pack.size() - payload) {
    if (why)
      *why = "entry '" + std::string(reinterpret_cast<const char*>(pack.data() + start), n) +
             "' at offset " + std::to_string(start) + " states " + std::to_string(size) +
             " payload bytes but only " + std::to_string(pack.size() - payload) + " remain";
    return false;
  }
  e.name.assign(reinterpret_cast<const char*>(pack.data() + start), n);
  e.nameOffset = start;
  e.payloadOffset = payload;
  e.payload = pack.subspan(payload, size);
  pos = payload + size;
  return true;
}

}  // namespace

std::vector<PackEntry> listPackEntries(std::span<const uint8_t> pack, std::string* stopReason) {
  std::vector<PackEntry> out;
  size_t pos = 0;
  PackEntry e;
  while (nextEntry(pack, pos, e, stopReason)) out.push_back(e);
  return out;
}

std::span<const uint8_t> findPackEntry(std::span<const uint8_t> pack, const char* name) {
  if (!name) return {};
  const size_t len = std::strlen(name);
  size_t pos = 0;
  PackEntry e;
  while (nextEntry(pack, pos, e, nullptr)) {
    // Whole-name match over at most 512 bytes, as zero-terminated strings.
    if (len >= kMaxNameBytes ? e.name.size() == kMaxNameBytes &&
                                   std::memcmp(e.name.data(), name, kMaxNameBytes) == 0
                             : e.name.size() == len && std::memcmp(e.name.data(), name, len) == 0)
      return e.payload;
  }
  return {};
}

std::span<const uint8_t> findPackEntry(const char* name) { return findPackEntry(meshPackData, name); }

}  // namespace glimmer
