// The glimmer executable end to end: short headless runs, machine faults, the failure and usage
// exit codes. GLIMMER_BIN names the executable. Headless when SDL_VIDEODRIVER=offscreen; the
// window path when run under Xvfb.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Row {
  const char* label;
  const char* args;  // split at spaces
  const char* env;   // for env(1): NAME=VALUE words, or -u NAME to remove one
  int exitCode;
  const char* err;           // stderr holds this
  bool oneLine;              // and is that one line
  const char* out;           // stdout holds this; nullptr: stdout is empty
  long long minFrames = -2;  // with GLIMMER_REPORT_FRAMES: show frames in [min, max]
  long long maxFrames = 1 << 30;
};

TEST(RunShow, ExitCodesMessagesAndFrames) {
  const std::string base = ::testing::TempDir() + "glimmer_run_" + std::to_string(getpid());
  const std::string corrupt = base + ".scene";
  // A count of five records, then nothing.
  std::ofstream(corrupt, std::ios::binary) << std::string("\x05\x00\x00", 3);
  const std::string corruptArgs = "--no-dialog --until 1 --scene " + corrupt;
  // clang-format off
  const Row rows[] = {
      // One loading-bar frame per entity and one at 100 %; the content has several entities.
      {"short run", "--no-dialog --until 3", "GLIMMER_REPORT_FRAMES=1", 0, "", false, "", 1},
      {"missing extension", "--no-dialog --until 1",
       "GLIMMER_HIDE_EXTENSIONS=GL_EXT_separate_specular_color", 1,
       "GL_EXT_separate_specular_color", true, nullptr},
      {"missing scene file, before any window", "--no-dialog --scene /nonexistent/scene.bin",
       "SDL_VIDEODRIVER=glimmer-no-such-driver", 1, "/nonexistent/scene.bin", true, nullptr},
      {"no video driver", "--no-dialog --until 1", "SDL_VIDEODRIVER=glimmer-no-such-driver", 1,
       "window", true, nullptr},
      {"no display: the show does not play to nobody", "--no-dialog --until 1",
       "-u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY", 1,
       "glimmer: cannot open a window: no display", false, nullptr},
      {"corrupt scene", corruptArgs.c_str(), "", 1, "offset", false, nullptr},
      {"usage error", "--bogus", "", 2, "usage: glimmer", false, nullptr},
      {"help", "--help", "", 0, "", false, "usage: glimmer"},
      {"version", "--version", "", 0, "", false, "glimmer "},
      // Without a sound card the show runs silently to its end.
      {"no sound card", "--no-dialog --until 2",
       "SDL_AUDIODRIVER=no-such-sound-card GLIMMER_REPORT_FRAMES=1", 0, "", false, "", 1},
      // The press is latched while the content builds and the first pass sees it. That pass
      // takes the key's own message (so it draws no frame), or, with no message pending, steps
      // and draws one; either way the loop ends there.
      {"Escape while loading", "--no-dialog --until 30",
       "GLIMMER_TEST_ESCAPE_WHILE_LOADING=1 GLIMMER_REPORT_FRAMES=1", 0, "", false, "", 0, 1},
  };
  // clang-format on
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  const std::string headless = driver && std::string(driver) == "offscreen" ? "-u DISPLAY " : "";
  for (const Row& r : rows) {
    SCOPED_TRACE(r.label);
    const std::string command = "env " + headless + r.env + " " + GLIMMER_BIN + " " + r.args +
                                " >" + base + ".out 2>" + base + ".err";
    const int status = std::system(command.c_str());
    const std::string out = slurp(base + ".out"), err = slurp(base + ".err");
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, r.exitCode) << err;
    EXPECT_NE(err.find(r.err), std::string::npos) << err;
    EXPECT_TRUE(!r.oneLine || std::count(err.begin(), err.end(), '\n') == 1) << err;
    EXPECT_TRUE(r.out ? out.rfind(r.out, 0) == 0 : out.empty()) << out;
    if (r.minFrames == -2) continue;
    long long bar = -1, frames = -1;
    const size_t at = err.rfind("glimmer: ");
    ASSERT_NE(at, std::string::npos) << err;
    ASSERT_EQ(std::sscanf(err.c_str() + at, "glimmer: %lld loading-bar frames, %lld show frames",
                          &bar, &frames),
              2)
        << err;
    EXPECT_GE(bar, 3);
    EXPECT_GE(frames, r.minFrames);
    EXPECT_LE(frames, r.maxFrames);
  }
  for (const char* suffix : {".scene", ".out", ".err"}) std::remove((base + suffix).c_str());
}

}  // namespace
