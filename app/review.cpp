// Review mode: one loop that takes commands from the window's keys and from standard input,
// watches the content's files, steps the timeline on the clock (or holds it while paused),
// renders the frame and draws the status line over it.
//
// Index:
//   Content        the three sources, their compiled bytes in use and the files they came from
//   Visuals        rebuilding the GL context, registry and timeline from scene and pack bytes
//   Music          the song from its bytes, chased to the demo time
//   Session        demo time, pause, loop, marks, cuts, commands and the loop itself
//
// Every action prints one line "review: …" on stdout. The status line is drawn after the
// frame has been rendered (and after any shot was read back), so it never reaches a capture.
#include "app/review.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "app/gl_context.h"
#include "app/offline.h"
#include "app/shell.h"
#include "music/music.h"
#include "platform/platform.h"
#include "platform/sound_device.h"
#include "render/render.h"
#include "resources/resources.h"
#include "texgen/texgen.h"
#include "tools/compile/compile.h"

namespace app {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Bytes from standard input as they arrive; 0 at its end, negative on an error.
long readStandardInput(char* buffer, unsigned size) {
#ifdef _WIN32
  return _read(0, buffer, size);
#else
  return static_cast<long>(read(0, buffer, size));
#endif
}

constexpr int kWatchIntervalMs = 250;

void say(const std::string& line) {
  std::printf("review: %s\n", line.c_str());
  std::fflush(stdout);
}

std::string seconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f s", s);
  return text;
}

double msSince(SteadyClock::time_point t0) {
  return std::chrono::duration<double, std::milli>(SteadyClock::now() - t0).count();
}

// ---------------------------------------------------------------------------------------------
// Content

using LoadFunction = glimmer::compile::Loaded (*)(const std::string&);

// What the watcher compares: the time of a file's last change and its size (an editor that
// truncates and then writes can do both within one tick of the file system's clock).
struct FileStamp {
  std::string path;
  std::filesystem::file_time_type time{};
  uintmax_t size = 0;
  bool exists = false;
  bool operator==(const FileStamp&) const = default;
};

// One of the three contents: a file named on the command line (source or compiled) or the
// embedded resource when none was named.
struct Content {
  std::string path;  // empty: the embedded resource
  int resource = 0;
  LoadFunction load = nullptr;
  std::vector<uint8_t> bytes;       // what the show uses now (the last content that compiled)
  std::vector<FileStamp> stamps;    // the files as they were when last compiled
  std::vector<FileStamp> changing;  // as the watcher last saw them, while they differ
};

FileStamp stampOf(const std::string& path) {
  FileStamp s;
  s.path = path;
  std::error_code ec;
  s.time = std::filesystem::last_write_time(path, ec);
  s.exists = !ec;
  if (s.exists) s.size = std::filesystem::file_size(path, ec);
  return s;
}

// True once the content's files differ from when they were compiled and have stayed the same
// for one watch interval, so that a file caught half-written is read only once it is whole.
bool changedOnDisk(Content& c) {
  std::vector<FileStamp> now;
  for (const FileStamp& s : c.stamps) now.push_back(stampOf(s.path));
  if (now == c.stamps) {
    c.changing.clear();
    return false;
  }
  if (now == c.changing) return true;
  c.changing = std::move(now);
  return false;
}

// Compiles the content's file into `out`; the files it was made from are stamped even when it
// fails, so that a broken file is tried again only once it changes.
bool compileContent(Content& c, std::vector<uint8_t>& out, std::string& error) {
  if (c.path.empty()) {
    const auto bytes = resources::find(c.resource);
    out.assign(bytes.begin(), bytes.end());
    return true;
  }
  glimmer::compile::Loaded loaded = c.load(c.path);
  c.stamps.clear();
  c.changing.clear();
  for (const std::string& input : loaded.inputs) c.stamps.push_back(stampOf(input));
  for (const std::string& w : loaded.warnings) say(w);
  if (!loaded.error.empty()) {
    error = loaded.error;
    return false;
  }
  out = std::move(loaded.bytes);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Visuals

// Builds the show's entities from scene and pack bytes as a fresh start of the program would:
// a new GL context (so no state of earlier frames carries over), the texture and particle
// random states at their start values, the registry, the timeline and the precalculation. The
// pack bytes must stay alive as long as the entities.
bool buildVisuals(std::span<const uint8_t> scene, std::span<const uint8_t> pack,
                  const std::string& sceneName, std::string& failure) {
  if (glimmer::timeline) {
    delete glimmer::timeline;
    glimmer::timeline = nullptr;
    glimmer::destroyRegistry();
    destroyGLContext();
    if (!createGLContext(failure)) return false;
  }
  glimmer::resetTextureState();
  render::resetParticleRandom();
  glimmer::meshPackData = pack;
  glimmer::createRegistry();
  glimmer::timeline = new glimmer::TimelineObject();
  glimmer::SceneError error;
  const int32_t records = glimmer::loadSceneData(scene, sceneName, createEntity, error);
  if (records < 0) {
    failure = error.message();
    return false;
  }
  glimmer::precalcAll(records, nullptr);
  return true;
}

// Times where the timeline switches to another scene, from 0 up, read from the stream's
// animated SetScene keys.
std::vector<float> sceneCuts(std::span<const uint8_t> bytes) {
  std::vector<float> cuts{0.0f};
  glimmer::SceneStream stream;
  glimmer::SceneError error;
  if (!glimmer::parseSceneStream(bytes, "scene", stream, error)) return cuts;
  const auto& timelines = stream.categories[static_cast<size_t>(glimmer::Category::Timeline)];
  for (const glimmer::EntityRecord& record : timelines)
    for (const auto* list : {&record.tracksA, &record.tracksB})
      for (const glimmer::TrackRecord& track : *list) {
        if ((track.word & 0xFF) != 0 || !(track.word & glimmer::kAnimatedBit)) continue;
        std::optional<float> scene;
        for (const glimmer::KeyRecord& key : track.keys) {
          if (scene && *scene != key.values[0]) cuts.push_back(key.time);
          scene = key.values[0];
        }
      }
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  return cuts;
}

// ---------------------------------------------------------------------------------------------
// Music

// Replaces the playing song by one loaded from module bytes; false with a reason.
bool startSong(const std::vector<uint8_t>& module, std::string& failure) {
  if (song) {
    glimmer::music::stop(song);
    glimmer::music::freeSong(song);
    song = nullptr;
  }
  glimmer::music::setModuleBytes(module);
  glimmer::music::installResourceCallbacks();
  glimmer::music::LoadError error;
  song = glimmer::music::loadSong("review.xm", &error);
  if (!song) {
    failure = error.describe();
    return false;
  }
  musicStarted = glimmer::music::play(song, platform::systemSoundDevice());
  if (!musicStarted) {
    static glimmer::music::NullSoundDevice clockDevice;
    musicStarted = glimmer::music::play(song, clockDevice);
  }
  return musicStarted;
}

// Order and row of the music heard now; while paused, those the song was chased to (the
// output thread is halted then, so the song is read directly).
std::pair<int, int> musicPosition(bool paused) {
  if (!song || !musicStarted) return {0, 0};
  if (paused) return {glimmer::music::songOrder(song), glimmer::music::songRow(song)};
  return {glimmer::music::positionOrder(song), glimmer::music::positionRow(song)};
}

// ---------------------------------------------------------------------------------------------
// Session

// Lines from standard input, read by a thread of their own so that the loop never blocks.
struct InputLines {
  std::mutex mutex;
  std::deque<std::string> lines;
  std::atomic<bool> ended{false};
};

class Session {
 public:
  explicit Session(const Options& options) : options_(options) {
    scene_ = {options.sceneFile, resources::kSceneData, glimmer::compile::loadScene, {}, {}, {}};
    pack_ = {options.packFile, resources::kMeshPack, glimmer::compile::loadPack, {}, {}, {}};
    music_ = {options.musicFile, resources::kMusicModule, glimmer::compile::loadMusic, {}, {}, {}};
  }

  bool start();
  void run();

 private:
  double time() const { return glimmer::timeline ? glimmer::timeline->time : 0.0; }
  std::string sceneName() const { return scene_.path.empty() ? "SceneData" : scene_.path; }
  void execute(const std::string& line);
  void seek(double t, bool announce);
  void chaseMusic();
  void reload(bool everything);
  void shot(const std::string& file);
  void restartTimeline(double t);
  void pollInput();
  void drawStatus();
  void note(const std::string& line) {
    last_ = line;
    say(line);
  }

  Options options_;
  Content scene_, pack_, music_;
  std::vector<float> cuts_;
  bool paused_ = false;
  bool statusShown_ = true;
  bool quit_ = false;
  bool looping_ = false;
  double loopA_ = 0.0, loopB_ = 0.0;
  std::optional<double> markA_, markB_;
  std::string last_;
  std::optional<SteadyClock::time_point> waitUntil_;
  SteadyClock::time_point nextWatch_ = SteadyClock::now();
  SteadyClock::time_point fpsStart_ = SteadyClock::now();
  int fpsFrames_ = 0;
  double fps_ = 0.0;
  std::shared_ptr<InputLines> input_ = std::make_shared<InputLines>();
};

bool Session::start() {
  const auto t0 = SteadyClock::now();
  std::string error;
  std::vector<uint8_t> sceneBytes, packBytes, musicBytes;
  for (auto [content, bytes] : {std::pair{&scene_, &sceneBytes}, std::pair{&pack_, &packBytes},
                                std::pair{&music_, &musicBytes}})
    if (!compileContent(*content, *bytes, error)) {
      say(error);
      return false;
    }
  scene_.bytes = std::move(sceneBytes);
  pack_.bytes = std::move(packBytes);
  music_.bytes = std::move(musicBytes);
  std::string failure;
  if (!openShowWindow(failure) || !buildVisuals(scene_.bytes, pack_.bytes, sceneName(), failure)) {
    say(failure);
    return false;
  }
  cuts_ = sceneCuts(scene_.bytes);
  if (!music_.bytes.empty() && !startSong(music_.bytes, failure)) say("no music: " + failure);
  restartTimeline(0.0);
  chaseMusic();
  std::string names;
  for (const Content* c : {&scene_, &pack_, &music_})
    names += (names.empty() ? "" : ", ") +
             (c->path.empty() ? std::string("built-in ") + (c == &scene_  ? "scene"
                                                            : c == &pack_ ? "pack"
                                                                          : "music")
                              : c->path);
  note("loaded " + names + " in " + std::to_string(std::lround(msSince(t0))) + " ms");

  // The reader uses the descriptor, not stdio: a thread blocked inside stdio holds the stream's
  // lock, and the flush of every stream at exit would then wait for it forever.
  std::thread([input = input_] {
    std::string pending;
    char buffer[4096];
    for (;;) {
      const auto n = readStandardInput(buffer, sizeof buffer);
      if (n <= 0) break;
      pending.append(buffer, static_cast<size_t>(n));
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::lock_guard<std::mutex> lock(input->mutex);
        input->lines.push_back(pending.substr(0, end));
        pending.erase(0, end + 1);
      }
    }
    if (!pending.empty()) {
      std::lock_guard<std::mutex> lock(input->mutex);
      input->lines.push_back(pending);
    }
    input->ended.store(true);
  }).detach();
  return true;
}

// The timeline on the real clock at demo time t, every entity updated there.
void Session::restartTimeline(double t) {
  glimmer::setCounterSource({platform::counter, platform::counterFrequency});
  glimmer::TimelineObject& tl = *glimmer::timeline;
  tl.clock = glimmer::DemoClock();
  tl.start();
  tl.time = static_cast<float>(t);
  tl.running = !paused_;
  tl.step();
  tl.clock.reset();
}

// The song chased to the demo time; while paused it is placed there too (so the status line
// names the row) and then silenced.
void Session::chaseMusic() {
  if (!song || !musicStarted) return;
  glimmer::music::seekTo(song, std::llround(time() * glimmer::music::kMixRate), paused_);
}

void Session::seek(double t, bool announce) {
  t = std::clamp(t, 0.0, static_cast<double>(glimmer::kShowLength));
  restartTimeline(t);
  chaseMusic();
  if (announce) note("seek " + seconds(t));
}

void Session::reload(bool everything) {
  const auto t0 = SteadyClock::now();
  std::vector<Content*> changed;
  for (Content* c : {&scene_, &pack_, &music_})
    if (!c->path.empty() && (everything || changedOnDisk(*c))) changed.push_back(c);
  if (changed.empty()) {
    if (everything) note("nothing to reload: the content is built in");
    return;
  }
  // Everything is compiled before anything is replaced: an error keeps all the old content.
  std::vector<std::vector<uint8_t>> fresh(changed.size());
  for (size_t i = 0; i < changed.size(); ++i) {
    std::string error;
    if (!compileContent(*changed[i], fresh[i], error)) {
      note(error);
      return;
    }
  }
  const double t = time();
  bool visuals = false, music = false;
  std::vector<uint8_t> oldScene = scene_.bytes, oldPack = pack_.bytes;
  std::string names;
  for (size_t i = 0; i < changed.size(); ++i) {
    changed[i]->bytes = std::move(fresh[i]);
    (changed[i] == &music_ ? music : visuals) = true;
    names += (names.empty() ? "" : ", ") + changed[i]->path;
  }
  if (visuals) {
    std::string failure;
    if (!buildVisuals(scene_.bytes, pack_.bytes, sceneName(), failure)) {
      // The stream compiled but could not be built: back to what was shown before.
      note(failure);
      scene_.bytes = std::move(oldScene);
      pack_.bytes = std::move(oldPack);
      if (!buildVisuals(scene_.bytes, pack_.bytes, sceneName(), failure)) {
        note(failure);
        quit_ = true;
        return;
      }
    }
    cuts_ = sceneCuts(scene_.bytes);
  }
  if (music) {
    std::string failure;
    if (!startSong(music_.bytes, failure)) note("no music: " + failure);
  }
  restartTimeline(t);
  chaseMusic();
  note("reloaded " + names + " in " + std::to_string(std::lround(msSince(t0))) + " ms");
}

// The frame --frame T --out FILE would write: the visuals are rebuilt from the content in use
// and stepped from 0 on the fixed clock, exactly as that run steps them.
void Session::shot(const std::string& file) {
  const double t = time();
  std::string failure;
  if (!buildVisuals(scene_.bytes, pack_.bytes, sceneName(), failure)) {
    note(failure);
    quit_ = true;
    return;
  }
  std::vector<uint8_t> rgba;
  renderFrameFromStart(static_cast<float>(t), kDefaultFps, rgba);
  const double shown = glimmer::timeline->time;
  const bool ok = writeFramePng(file, rgba);
  restartTimeline(shown);
  chaseMusic();
  note(ok ? "shot " + file + " at " + seconds(shown) : "cannot write " + file);
}

void Session::execute(const std::string& line) {
  ReviewCommand c;
  std::string error;
  if (!parseReviewCommand(line, c, error)) {
    note(error);
    return;
  }
  switch (c.verb) {
    case ReviewVerb::Pause:
      paused_ = true;
      glimmer::timeline->running = false;
      chaseMusic();
      note("paused at " + seconds(time()));
      break;
    case ReviewVerb::Play:
      paused_ = false;
      restartTimeline(time());
      chaseMusic();
      note("playing from " + seconds(time()));
      break;
    case ReviewVerb::Seek:
      seek(c.relative ? time() + c.value : c.value, true);
      break;
    case ReviewVerb::Cut: {
      const double t = time();
      std::optional<double> to;
      for (float cut : cuts_) {
        if (c.choice > 0 && cut > t + 1e-3 && !to) to = cut;
        // Back from just after a cut goes to the cut before it, as players do.
        if (c.choice < 0 && cut < t - 0.25) to = cut;
      }
      if (!to) {
        note(std::string("no cut ") + (c.choice > 0 ? "after " : "before ") + seconds(t));
        break;
      }
      seek(*to, false);
      note(std::string("cut ") + (c.choice > 0 ? "next " : "prev ") + seconds(*to));
      break;
    }
    case ReviewVerb::Loop:
      if (c.hasRange) {
        loopA_ = c.value;
        loopB_ = c.value2;
      } else if (c.choice == 0 || (c.choice < 0 && looping_)) {
        looping_ = false;
        note("loop off");
        break;
      } else if (!markA_ || !markB_ || *markB_ <= *markA_) {
        note("loop needs mark a before mark b");
        break;
      } else {
        loopA_ = *markA_;
        loopB_ = *markB_;
      }
      looping_ = true;
      seek(loopA_, false);
      note("loop " + seconds(loopA_) + " to " + seconds(loopB_));
      break;
    case ReviewVerb::Mark:
      (c.choice == 0 ? markA_ : markB_) = time();
      note(std::string("mark ") + (c.choice == 0 ? "a" : "b") + " at " + seconds(time()));
      break;
    case ReviewVerb::Reload:
      reload(true);
      break;
    case ReviewVerb::Shot:
      shot(c.file);
      break;
    case ReviewVerb::Wait:
      waitUntil_ = SteadyClock::now() + std::chrono::microseconds(std::llround(c.value * 1e6));
      note("wait " + seconds(c.value));
      break;
    case ReviewVerb::Status:
      statusShown_ = c.choice < 0 ? !statusShown_ : c.choice == 1;
      note(std::string("status line ") + (statusShown_ ? "on" : "off"));
      break;
    case ReviewVerb::Time: {
      char text[160];
      const auto [order, row] = musicPosition(paused_);
      std::snprintf(text, sizeof text, "time %.3f s, %s, scene %d, order %d row %d", time(),
                    paused_ ? "paused" : "playing", glimmer::timeline->currentScene, order, row);
      note(text);
      break;
    }
    case ReviewVerb::Quit:
      quit_ = true;
      note("quit");
      break;
  }
}

// Runs the lines that have arrived, up to a wait that has not run out. At the end of the
// input a headless run ends: nobody could give it another command.
void Session::pollInput() {
  while (!quit_) {
    if (waitUntil_) {
      if (SteadyClock::now() < *waitUntil_) return;
      waitUntil_.reset();
    }
    std::string line;
    {
      std::lock_guard<std::mutex> lock(input_->mutex);
      if (input_->lines.empty()) {
        if (input_->ended.load() && !platform::hasVisibleDisplay()) {
          quit_ = true;
          note("end of input: quit");
        }
        return;
      }
      line = std::move(input_->lines.front());
      input_->lines.pop_front();
    }
    if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
    execute(line);
  }
}

void Session::drawStatus() {
  if (!statusShown_) return;
  char text[256];
  const auto [order, row] = musicPosition(paused_);
  std::snprintf(text, sizeof text, "%8.3f s  scene %d  order %d row %d  %.0f fps%s%s  %s", time(),
                glimmer::timeline->currentScene, order, row, fps_, paused_ ? "  paused" : "",
                looping_ ? "  loop" : "", last_.c_str());
  render::drawStatusLine(text);
}

void Session::run() {
  while (!quit_) {
    int key = 0;
    const platform::Message message = platform::takeMessage(key);
    if (message == platform::Message::Quit) {
      note("window closed: quit");
      break;
    }
    if (key != 0) {
      const std::string line = reviewKeyCommand(key, paused_);
      if (!line.empty()) execute(line);
    }
    pollInput();
    if (quit_) break;
    if (SteadyClock::now() >= nextWatch_) {
      nextWatch_ = SteadyClock::now() + std::chrono::milliseconds(kWatchIntervalMs);
      reload(false);
    }
    // A reload or a shot replaces the timeline, so it is looked up on every pass.
    glimmer::TimelineObject* tl = glimmer::timeline;
    if (paused_) tl->clock.reset();
    tl->step();
    if (!paused_ && !tl->running) {
      // Past the end of the show: from the start again (or the loop's start).
      seek(looping_ ? loopA_ : 0.0, false);
    } else if (!paused_ && looping_ && time() >= loopB_) {
      seek(loopA_, false);
    }
    render::renderFrame();
    drawStatus();
    platform::swapBuffers();
    ++fpsFrames_;
    const double elapsed = msSince(fpsStart_);
    if (elapsed >= 1000.0) {
      fps_ = fpsFrames_ * 1000.0 / elapsed;
      fpsFrames_ = 0;
      fpsStart_ = SteadyClock::now();
    }
  }
}

}  // namespace

int runReview(const Options& options) {
  platform::setUnattended(true);
  // A window where there is a display; headless otherwise.
  platform::prepareOfflineVideo(true);
  screenWidth = options.width > 0 ? options.width : 640;
  screenHeight = options.height > 0 ? options.height : 480;
  fullScreen = false;
  Session session(options);
  if (!session.start()) {
    if (glimmer::timeline) closeShow();
    platform::stopVideo();
    return kExitFailure;
  }
  session.run();
  closeShow();
  return kExitOk;
}

}  // namespace app
