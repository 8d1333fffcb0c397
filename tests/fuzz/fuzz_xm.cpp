// Feeds arbitrary bytes to the XM loader. A module that loads is sequenced alone for up to 30 s of
// song time and then mixed for two seconds exactly as the show plays it; one that fails must say
// which structure was being read.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "music/music.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace glimmer::music;
  LoadError error;
  SongPtr song(loadSongFromMemory({data, size}, &error));
  if (!song) {
    if (error.structure.empty() || error.offset > size) std::abort();
    return 0;
  }
  (void)songTimeline(song.get(), int64_t{kMixRate} * 30);
  static std::vector<int16_t> pcm(size_t{4096} * 2);
  startOffline(song.get());
  for (int frames = 0; frames < kMixRate * 2; frames += 4096) renderOffline(pcm);
  resetPlayer();
  return 0;
}
