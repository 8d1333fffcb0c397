// The glimmer executable end to end: short headless runs, machine faults, the failure and usage
// exit codes. GLIMMER_BIN names the executable. Headless when SDL_VIDEODRIVER=offscreen; the
// window path when run under Xvfb.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(RunShow, ExitCodesMessagesAndFrames) {
  const std::string base = ::testing::TempDir() + "glimmer_run_" + std::to_string(getpid());
  const std::string corrupt = base + ".scene";
  // A count of five records, then nothing.
  std::ofstream(corrupt, std::ios::binary) << std::string("\x05\x00\x00", 3);
  const std::string corruptArgs = "--no-dialog --until 1 --scene " + corrupt;
  // clang-format off
  // Label, arguments, environment for env(1) (NAME=VALUE words, or -u NAME to remove one); exit
  // status, what stderr holds and whether that is one line, how stdout starts (nullptr: empty),
  // and with GLIMMER_REPORT_FRAMES the least and most show frames.
  const std::tuple<const char*, const char*, const char*, int, const char*, bool, const char*,
                   std::array<long long, 2>>
      rows[] = {
      // One loading-bar frame per entity and one at 100 %; the content has several entities.
      {"short run", "--no-dialog --until 3", "GLIMMER_REPORT_FRAMES=1", 0, "", false, "", {1, 1 << 30}},
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
       "SDL_AUDIODRIVER=no-such-sound-card GLIMMER_REPORT_FRAMES=1", 0, "", false, "", {1, 1 << 30}},
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
    const std::string out = slurp(base + ".out"), err = slurp(base + ".err");
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

}  // namespace
