// Review mode driven as an author's script drives it: glimmer --review runs headless on a copy of
// the show's sources, takes commands on standard input and answers each with one line; its
// shots are compared with what --frame writes for the same time.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeText(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

// glimmer --review with pipes on its standard input and output.
class ReviewProcess {
 public:
  explicit ReviewProcess(const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], 0);
      dup2(out[1], 1);
      close(in[1]);
      close(out[0]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(GLIMMER_BIN));
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(GLIMMER_BIN, argv.data());
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    toChild_ = fdopen(in[1], "w");
    fromChild_ = out[0];
  }
  ~ReviewProcess() {
    if (toChild_) std::fclose(toChild_);
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fromChild_ >= 0) close(fromChild_);
  }

  void send(const std::string& line) {
    std::fprintf(toChild_, "%s\n", line.c_str());
    std::fflush(toChild_);
  }
  // The next line that satisfies `match`, skipping others; empty at the end of the output or
  // when none comes within a minute (a hung session fails instead of blocking the suite).
  std::string until(const std::function<bool(const std::string&)>& match) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (;;) {
      const size_t newline = pending_.find('\n');
      if (newline != std::string::npos) {
        const std::string line = pending_.substr(0, newline);
        pending_.erase(0, newline + 1);
        seen_ += line + "\n";
        if (match(line)) return line;
        continue;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      pollfd p{fromChild_, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
      char buffer[4096];
      const ssize_t n = read(fromChild_, buffer, sizeof buffer);
      if (n <= 0) return {};
      pending_.append(buffer, static_cast<size_t>(n));
    }
  }
  std::string untilPrefix(const std::string& prefix) {
    return until([&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    exited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  const std::string& seen() const { return seen_; }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  FILE* toChild_ = nullptr;
  int fromChild_ = -1;
  std::string pending_;
  std::string seen_;
};

// --frame T --out FILE on the given scene and pack; true when it wrote the file.
bool frameAt(const std::string& t, const fs::path& scene, const fs::path& pack,
             const fs::path& out) {
  const std::string command = std::string(GLIMMER_BIN) + " --frame " + t + " --scene '" +
                              scene.string() + "' --pack '" + pack.string() + "' --out '" +
                              out.string() + "' >/dev/null";
  return std::system(command.c_str()) == 0 && fs::exists(out);
}

TEST(ReviewSession, ScriptedAuthoringSession) {
  const fs::path dir = fs::temp_directory_path() / ("glimmer-review-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path content = fs::path(GLIMMER_SOURCE_DIR) / "content";
  fs::copy(content, dir / "content", fs::copy_options::recursive);
  const fs::path scene = dir / "content" / "scene.scene";
  const fs::path pack = dir / "content" / "pack" / "pack.manifest";
  const fs::path song = dir / "content" / "song.txt";

  // The edit appends an Invert to the end of every texture's command list, so whatever the show
  // shows at the time sought to, its textures change. The first texture's last command line is
  // where the syntax error goes later.
  const std::string source = readText(scene);
  std::string edited;
  int errorLine = 0;
  {
    std::istringstream in(source);
    std::string line, lastCommand;
    bool inTexture = false;
    int lineNo = 0;
    auto closeTexture = [&] {
      if (inTexture) edited += "  B Invert\n";
      inTexture = false;
    };
    while (std::getline(in, line)) {
      ++lineNo;
      const bool indented = !line.empty() && (line[0] == ' ' || line[0] == '\t');
      if (!indented && (line.empty() || line[0] != '#')) closeTexture();
      if (line.rfind("texture", 0) == 0) inTexture = true;
      if (inTexture && indented && errorLine == 0 && line.find("B ") != std::string::npos)
        errorLine = lineNo;
      edited += line + "\n";
    }
    closeTexture();
  }
  ASSERT_GT(errorLine, 0) << "the scene source has no texture command";

  ReviewProcess review(
      {"--review", "--scene", scene.string(), "--pack", pack.string(), "--music", song.string()});
  ASSERT_NE(review.untilPrefix("review: loaded "), "") << review.seen();

  review.send("pause");
  EXPECT_NE(review.untilPrefix("review: paused at "), "");
  review.send("seek 12.5");
  EXPECT_EQ(review.untilPrefix("review: seek"), "review: seek 12.500 s");
  review.send("shot " + (dir / "before.png").string());
  EXPECT_EQ(review.untilPrefix("review: shot"),
            "review: shot " + (dir / "before.png").string() + " at 12.500 s");
  ASSERT_TRUE(frameAt("12.5", scene, pack, dir / "frame-before.png"));
  EXPECT_TRUE(readText(dir / "before.png") == readText(dir / "frame-before.png"))
      << "the shot differs from --frame 12.5";

  // Edited texture commands: the next shot at the same time shows them, as --frame does.
  writeText(scene, edited);
  review.send("reload");
  EXPECT_NE(review.untilPrefix("review: reloaded "), "") << review.seen();
  review.send("shot " + (dir / "after.png").string());
  EXPECT_EQ(review.untilPrefix("review: shot"),
            "review: shot " + (dir / "after.png").string() + " at 12.500 s");
  ASSERT_TRUE(frameAt("12.5", scene, pack, dir / "frame-after.png"));
  EXPECT_FALSE(readText(dir / "after.png") == readText(dir / "before.png"))
      << "the edit does not show";
  EXPECT_TRUE(readText(dir / "after.png") == readText(dir / "frame-after.png"))
      << "the shot after the reload differs from --frame 12.5 on the edited source";

  // A syntax error, found by the watcher: the error names the file and line, the old content
  // stays on screen.
  // The first texture command line (the edit above only added lines after it) loses its value.
  std::string broken;
  {
    std::istringstream in(edited);
    std::string line;
    for (int lineNo = 1; std::getline(in, line); ++lineNo)
      broken += (lineNo == errorLine ? "  B Fill red=" : line) + "\n";
  }
  writeText(scene, broken);
  review.send("wait 1");
  const std::string error =
      review.until([](const std::string& l) { return l.find(": error: ") != std::string::npos; });
  EXPECT_EQ(error.rfind("review: " + scene.string() + ":" + std::to_string(errorLine) + ":", 0), 0u)
      << error;
  review.send("shot " + (dir / "broken.png").string());
  EXPECT_NE(review.untilPrefix("review: shot"), "");
  EXPECT_TRUE(readText(dir / "broken.png") == readText(dir / "after.png"))
      << "the content changed after an error";

  // A loop keeps demo time between its ends while playing.
  review.send("loop 10 10.5");
  EXPECT_EQ(review.untilPrefix("review: loop"), "review: loop 10.000 s to 10.500 s");
  review.send("play");
  EXPECT_NE(review.untilPrefix("review: playing from "), "");
  for (int i = 0; i < 4; ++i) {
    review.send("wait 0.3");
    review.send("time");
    const std::string time = review.untilPrefix("review: time ");
    const double t = std::atof(time.c_str() + std::strlen("review: time "));
    EXPECT_GE(t, 10.0) << time;
    EXPECT_LE(t, 10.6) << time;  // the frame that crosses 10.5 s may still be reported
  }

  review.send("bogus");
  EXPECT_EQ(review.untilPrefix("review: unknown"), "review: unknown command 'bogus'");
  review.send("quit");
  EXPECT_EQ(review.untilPrefix("review: quit"), "review: quit");
  EXPECT_EQ(review.wait(), 0) << review.seen();
  fs::remove_all(dir);
}

}  // namespace
