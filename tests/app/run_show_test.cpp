// The glimmer executable end to end: a short headless run, the failure and usage exit codes.
// GLIMMER_BIN names the executable. Headless when SDL_VIDEODRIVER=offscreen; the window path
// when run under Xvfb.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs glimmer with args and the test's environment plus extra (an empty value removes).
RunResult runGlimmer(const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& extra = {}) {
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string kv(*e);
    const size_t eq = kv.find('=');
    if (eq != std::string::npos) env[kv.substr(0, eq)] = kv.substr(eq + 1);
  }
  if (env.count("SDL_VIDEODRIVER") && env["SDL_VIDEODRIVER"] == "offscreen") env.erase("DISPLAY");
  env["SDL_AUDIODRIVER"] = "dummy";
  for (const auto& [k, v] : extra) {
    if (v.empty())
      env.erase(k);
    else
      env[k] = v;
  }
  std::vector<std::string> envStrings;
  for (const auto& [k, v] : env) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings{GLIMMER_BIN};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const std::string base = ::testing::TempDir() + "glimmer_run_" + std::to_string(getpid());
  const std::string outPath = base + ".out", errPath = base + ".err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  RunResult r;
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  r.out = slurp(outPath);
  r.err = slurp(errPath);
  std::remove(outPath.c_str());
  std::remove(errPath.c_str());
  return r;
}

int lineCount(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

TEST(RunShow, ShortRunDrawsTheLoadingBarAndFramesAndExitsZero) {
  const RunResult r = runGlimmer({"--no-dialog", "--until", "3"}, {{"GLIMMER_REPORT_FRAMES", "1"}});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  long long bar = -1, frames = -1;
  const size_t at = r.err.find("glimmer: ");
  ASSERT_NE(at, std::string::npos) << r.err;
  ASSERT_EQ(std::sscanf(r.err.c_str() + r.err.rfind("glimmer: "),
                        "glimmer: %lld loading-bar frames, %lld show frames", &bar, &frames),
            2)
      << r.err;
  // One bar frame per entity and one at 100 %; the content has several entities.
  EXPECT_GE(bar, 3);
  EXPECT_GE(frames, 1);
}

TEST(RunShow, AMissingRequiredExtensionExitsOneWithOneLine) {
  const RunResult r = runGlimmer({"--no-dialog", "--until", "1"},
                                 {{"GLIMMER_HIDE_EXTENSIONS", "GL_EXT_separate_specular_color"}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(lineCount(r.err), 1) << r.err;
  EXPECT_NE(r.err.find("GL_EXT_separate_specular_color"), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty());
}

TEST(RunShow, AMissingSceneFileExitsOneBeforeAnyWindow) {
  const RunResult r = runGlimmer({"--no-dialog", "--scene", "/nonexistent/scene.bin"},
                                 {{"SDL_VIDEODRIVER", "glimmer-no-such-driver"}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(lineCount(r.err), 1) << r.err;
  EXPECT_NE(r.err.find("/nonexistent/scene.bin"), std::string::npos) << r.err;
}

TEST(RunShow, NoVideoDriverExitsOneNamingTheWindow) {
  const RunResult r =
      runGlimmer({"--no-dialog", "--until", "1"}, {{"SDL_VIDEODRIVER", "glimmer-no-such-driver"}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(lineCount(r.err), 1) << r.err;
  EXPECT_NE(r.err.find("window"), std::string::npos) << r.err;
}

TEST(RunShow, WithoutADisplayTheShowDoesNotPlayToNobody) {
  const RunResult r =
      runGlimmer({"--no-dialog", "--until", "1"},
                 {{"SDL_VIDEODRIVER", ""}, {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("glimmer: cannot open a window: no display"), std::string::npos) << r.err;
}

TEST(RunShow, ACorruptSceneIsRefusedWithItsOffset) {
  const std::string path = ::testing::TempDir() + "glimmer_corrupt_scene.bin";
  {
    std::ofstream f(path, std::ios::binary);
    f << std::string("\x05\x00\x00", 3);  // a count of five records, then nothing
  }
  const RunResult r = runGlimmer({"--no-dialog", "--until", "1", "--scene", path});
  std::remove(path.c_str());
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("offset"), std::string::npos) << r.err;
}

TEST(RunShow, UsageErrorsExitTwoWithUsageOnStderr) {
  const RunResult r = runGlimmer({"--bogus"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("--bogus"), std::string::npos);
  EXPECT_NE(r.err.find("usage: glimmer"), std::string::npos);
  EXPECT_TRUE(r.out.empty());
}

TEST(RunShow, HelpAndVersionGoToStdout) {
  RunResult r = runGlimmer({"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("usage: glimmer"), std::string::npos);
  EXPECT_TRUE(r.err.empty());
  r = runGlimmer({"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.rfind("glimmer ", 0), 0u);
}

}  // namespace

namespace {

// Show frames from the GLIMMER_REPORT_FRAMES line, or -1.
long long reportedShowFrames(const std::string& err) {
  long long bar = -1, frames = -1;
  const size_t at = err.rfind("glimmer: ");
  if (at == std::string::npos ||
      std::sscanf(err.c_str() + at, "glimmer: %lld loading-bar frames, %lld show frames", &bar,
                  &frames) != 2)
    return -1;
  return frames;
}

TEST(MachineFaults, WithoutASoundCardTheShowRunsSilentlyToItsEnd) {
  const RunResult r = runGlimmer({"--no-dialog", "--until", "2"},
                                 {{"SDL_AUDIODRIVER", "no-such-sound-card"}, {"GLIMMER_REPORT_FRAMES", "1"}});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_GT(reportedShowFrames(r.err), 0) << r.err;
}

TEST(MachineFaults, EscapeDuringLoadingEndsTheShowInTheFirstPass) {
  // The press is latched while the content builds and the first pass sees it. That pass then
  // takes the key's own message (so it draws no frame), or, with no message pending, steps and
  // draws one; either way the loop ends there.
  const RunResult r = runGlimmer({"--no-dialog", "--until", "30"},
                                 {{"GLIMMER_TEST_ESCAPE_WHILE_LOADING", "1"}, {"GLIMMER_REPORT_FRAMES", "1"}});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const long long frames = reportedShowFrames(r.err);
  EXPECT_GE(frames, 0) << r.err;
  EXPECT_LE(frames, 1) << r.err;
}

}  // namespace
