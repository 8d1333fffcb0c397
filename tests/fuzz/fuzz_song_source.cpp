// Feeds arbitrary text to the song notation compiler (glimmerc song build). Text it accepts must
// give a module the loader reads back, which is then mixed for a second; refused text must say
// what is wrong.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/music.h"
#include "tools/compile/compile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace glimmer::music;
  const std::string source(reinterpret_cast<const char*>(data), size);
  std::vector<uint8_t> xm;
  BuildError error;
  if (!buildSong(source, &xm, &error)) {
    if (error.message.empty()) std::abort();
    return 0;
  }
  LoadError loadError;
  SongPtr song(loadSongFromMemory(xm, &loadError));
  if (!song) std::abort();
  static std::vector<int16_t> pcm(size_t{4096} * 2);
  startOffline(song.get());
  for (int frames = 0; frames < kMixRate; frames += 4096) renderOffline(pcm);
  resetPlayer();
  return 0;
}
