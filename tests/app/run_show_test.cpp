// The glimmer executable (GLIMMER_BIN) end to end: short runs, machine faults, the failure and
// usage exit codes (headless when SDL_VIDEODRIVER=offscreen, the window path under Xvfb); review
// mode driven as an author's script drives it, headless on a copy of the show's sources
// (GLIMMER_SOURCE_DIR), its shots compared with what --frame writes for the same time.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RunShow, ExitCodesMessagesAndFrames) {
  const std::string base = ::testing::TempDir() + "glimmer_run_" + std::to_string(getpid());
  // A count of five records, then nothing.
  std::ofstream(base + ".scene", std::ios::binary) << std::string("\x05\x00\x00", 3);
  const std::string corruptArgs = "--no-dialog --until 1 --scene " + base + ".scene";
  const std::array<long long, 2> kSome{1, 1 << 30};
  // clang-format off
  // Label, arguments, environment for env(1) (NAME=VALUE words, or -u NAME to remove one); exit
  // status, what stderr holds and whether that is one line, how stdout starts (nullptr: empty),
  // and with GLIMMER_REPORT_FRAMES the least and most show frames.
  const std::tuple<const char*, const char*, const char*, int, const char*, bool, const char*,
                   std::array<long long, 2>>
      rows[] = {
      // One loading-bar frame per entity and one at 100 %; the content has several entities.
      {"short run", "--no-dialog --until 3", "GLIMMER_REPORT_FRAMES=1", 0, "", false, "", kSome},
      {"missing extension", "--no-dialog --until 1",
       "GLIMMER_HIDE_EXTENSIONS=GL_EXT_separate_specular_color", 1,
       "GL_EXT_separate_specular_color", true, nullptr, {}},
      {"missing scene file, before any window", "--no-dialog --scene /nonexistent/scene.bin",
       "SDL_VIDEODRIVER=glimmer-no-such-driver", 1, "/nonexistent/scene.bin", true, nullptr, {}},
      {"no video driver", "--no-dialog --until 1", "SDL_VIDEODRIVER=glimmer-no-such-driver", 1,
       "window", true, nullptr, {}},
      {"no display: the show does not play to nobody", "--no-dialog --until 1",
       "-u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY", 1,
       "glimmer: cannot open a window: no display", false, nullptr, {}},
      {"corrupt scene", corruptArgs.c_str(), "", 1, "offset", false, nullptr, {}},
      {"usage error", "--bogus", "", 2, "usage: glimmer", false, nullptr, {}},
      {"help", "--help", "", 0, "", false, "usage: glimmer", {}},
      {"version", "--version", "", 0, "", false, "glimmer ", {}},
      // Without a sound card the show runs silently to its end.
      {"no sound card", "--no-dialog --until 2",
       "SDL_AUDIODRIVER=no-such-sound-card GLIMMER_REPORT_FRAMES=1", 0, "", false, "", kSome},
      // The press is latched while the content builds and the first pass sees it. That pass
      // takes the key's own message (so it draws no frame), or, with no message pending, steps
      // and draws one; either way the loop ends there.
      {"Escape while loading", "--no-dialog --until 30",
       "GLIMMER_TEST_ESCAPE_WHILE_LOADING=1 GLIMMER_REPORT_FRAMES=1", 0, "", false, "", {0, 1}},
  };
  // clang-format on
  for (const auto& [label, args, env, exitCode, text, oneLine, starts, frames] : rows) {
    SCOPED_TRACE(label);
    const std::string command = "env " + std::string(env) + " " + GLIMMER_BIN + " " + args + " >" +
                                base + ".out 2>" + base + ".err";
    const int status = std::system(command.c_str());
    const std::string out = readText(base + ".out"), err = readText(base + ".err");
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, exitCode) << err;
    EXPECT_NE(err.find(text), std::string::npos) << err;
    EXPECT_TRUE(!oneLine || std::count(err.begin(), err.end(), '\n') == 1) << err;
    EXPECT_TRUE(starts ? out.rfind(starts, 0) == 0 : out.empty()) << out;
    if (!std::strstr(env, "GLIMMER_REPORT_FRAMES")) continue;
    long long bar = -1, shown = -1;
    const size_t at = err.rfind("glimmer: ");
    std::sscanf(err.c_str() + (at == std::string::npos ? 0 : at),
                "glimmer: %lld loading-bar frames, %lld show frames", &bar, &shown);
    EXPECT_GE(bar, 3) << err;
    EXPECT_TRUE(shown >= frames[0] && shown <= frames[1]) << err;
  }
  for (const char* suffix : {".scene", ".out", ".err"}) std::remove((base + suffix).c_str());
}

TEST(ReviewSession, ScriptedAuthoringSession) {
  const fs::path dir = fs::temp_directory_path() / ("glimmer-review-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy(fs::path(GLIMMER_SOURCE_DIR) / "content", dir / "content", fs::copy_options::recursive);
  const fs::path scene = dir / "content" / "scene.scene";
  const std::string files = " --scene '" + scene.string() + "' --pack '" +
                            (dir / "content" / "pack" / "pack.manifest").string() + "'";
  // --frame 12.5 on the sources as they stand, written to `name` (a missing file reads empty).
  auto frame = [&](const char* name) {
    const std::string command = GLIMMER_BIN + (" --frame 12.5" + files) + " --out '" +
                                (dir / name).string() + "' >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << name;
    return readText(dir / name);
  };
  // The edit appends an Invert to every texture's command list (the lines after a "texture"
  // line up to a blank one), so whatever the show shows at the time sought to, its textures
  // change. The syntax error later replaces the first texture command, which the edit leaves
  // where it was.
  const std::string source = readText(scene);
  std::string edited, line;
  std::istringstream lines(source);
  bool inTexture = false;
  while (std::getline(lines, line)) {
    const bool more = !line.empty() && (line[0] == ' ' || line[0] == '\t' || line[0] == '#');
    if (inTexture && !more) edited += "  B Invert\n";
    inTexture = line.rfind("texture", 0) == 0 || (inTexture && more);
    edited += line + "\n";
  }
  if (inTexture) edited += "  B Invert\n";
  const size_t at = source.find("\n  B ", source.find("\ntexture")) + 1;
  ASSERT_GT(at, 0u) << "the scene source has no texture command";
  const long errorLine = std::count(source.begin(), source.begin() + long(at), '\n') + 1;
  std::string broken = edited;
  broken.replace(at, source.find('\n', at) - at, "  B Fill red=");

  // glimmer with commands written to its standard input and its standard output read back line
  // by line from a file. At the end of its input a headless session quits.
  const fs::path log = dir / "review.out";
  const std::string music = " --music '" + (dir / "content" / "song.txt").string() + "'";
  FILE* in = popen(
      (GLIMMER_BIN + (" --review" + files + music + " >'" + log.string() + "'")).c_str(), "w");
  size_t read = 0;
  // The next line that starts with `text`, skipping others; empty when none comes within a
  // minute, so a hung session fails instead of blocking the suite.
  auto until = [&](const std::string& text) -> std::string {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
      const std::string all = readText(log);
      for (size_t end; (end = all.find('\n', read)) != std::string::npos;) {
        const size_t start = std::exchange(read, end + 1);
        if (all.compare(start, text.size(), text) == 0) return all.substr(start, end - start);
      }
    }
    return {};
  };
  auto ask = [&](const std::string& command, const std::string& reply) {
    std::fprintf(in, "%s\n", command.c_str());
    std::fflush(in);
    return until(reply);
  };
  auto shot = [&](const char* name) {
    const std::string path = (dir / name).string();
    EXPECT_EQ(ask("shot " + path, "review: shot"), "review: shot " + path + " at 12.500 s");
    return readText(path);
  };
  ASSERT_NE(until("review: loaded "), "") << readText(log);
  EXPECT_NE(ask("pause", "review: paused at "), "");
  EXPECT_EQ(ask("seek 12.5", "review: seek"), "review: seek 12.500 s");
  const std::string before = shot("before.png");
  EXPECT_TRUE(before == frame("frame-before.png")) << "the shot differs from --frame 12.5";

  // Edited texture commands: the next shot at the same time shows them, as --frame does.
  std::ofstream(scene, std::ios::binary | std::ios::trunc) << edited;
  EXPECT_NE(ask("reload", "review: reloaded "), "") << readText(log);
  const std::string after = shot("after.png");
  EXPECT_FALSE(after == before) << "the edit does not show";
  EXPECT_TRUE(after == frame("frame-after.png")) << "the shot differs from --frame on the edit";

  // A syntax error, found by the watcher: the error names the file and line, the old content
  // stays on screen.
  std::ofstream(scene, std::ios::binary | std::ios::trunc) << broken;
  const std::string error = ask("wait 1", "review: " + scene.string() + ":");
  EXPECT_EQ(error.rfind("review: " + scene.string() + ":" + std::to_string(errorLine) + ":", 0), 0u)
      << error;
  EXPECT_NE(error.find(": error: "), std::string::npos) << error;
  EXPECT_TRUE(shot("broken.png") == after) << "the content changed after an error";

  // A loop keeps demo time between its ends while playing.
  EXPECT_EQ(ask("loop 10 10.5", "review: loop"), "review: loop 10.000 s to 10.500 s");
  EXPECT_NE(ask("play", "review: playing from "), "");
  for (int i = 0; i < 4; ++i) {
    ask("wait 0.3", "review: wait");
    const std::string time = ask("time", "review: time ");
    const double t = std::atof(time.c_str() + std::strlen("review: time "));
    EXPECT_GE(t, 10.0) << time;
    EXPECT_LE(t, 10.6) << time;  // the frame that crosses 10.5 s may still be reported
  }

  EXPECT_EQ(ask("bogus", "review: unknown"), "review: unknown command 'bogus'");
  EXPECT_EQ(ask("quit", "review: quit"), "review: quit");
  const int status = pclose(in);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << readText(log);
  fs::remove_all(dir);
}

}  // namespace
