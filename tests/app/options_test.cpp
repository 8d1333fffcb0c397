// The show's command line.
#include "app/options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The fields that differ from an empty command line, in a fixed order.
std::string describe(const app::Options& o) {
  const char* modes[] = {"show", "frame", "capture", "bench", "review", "help", "version"};
  std::ostringstream s;
  s << modes[static_cast<int>(o.mode)];
  if (o.noDialog) s << " no-dialog";
  if (o.width || o.height) s << " " << o.width << "x" << o.height;
  if (o.fullScreen) s << " fullscreen";
  if (o.until) s << " until=" << *o.until;
  const std::pair<const char*, const std::string*> files[] = {{"scene", &o.sceneFile},
                                                              {"pack", &o.packFile},
                                                              {"music", &o.musicFile},
                                                              {"out", &o.outFile},
                                                              {"capture", &o.capturePath}};
  for (const auto& [name, value] : files)
    if (!value->empty()) s << " " << name << "=" << *value;
  if (o.frameTime != 0) s << " frame=" << o.frameTime;
  if (o.fps != app::kDefaultFps) s << " fps=" << o.fps;
  if (o.from) s << " from=" << *o.from;
  if (o.to) s << " to=" << *o.to;
  if (o.offline()) s << " offline";
  return s.str();
}

// Arguments split at spaces; '' stands for an empty argument.
std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> args;
  std::istringstream in(line);
  for (std::string a; in >> a;) args.push_back(a == "''" ? "" : a);
  return args;
}

TEST(Options, AcceptedCommandLines) {
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {
      {"", "show"},
      {"--no-dialog --until 3 --scene s.bin --pack=p.bin --music m.xm",
       "show no-dialog until=3 scene=s.bin pack=p.bin music=m.xm"},
      // A resolution or full screen replaces the dialog.
      {"--resolution 1024x768", "show no-dialog 1024x768"},
      {"--resolution=333X222 --fullscreen", "show no-dialog 333x222 fullscreen"},
      {"--fullscreen", "show no-dialog fullscreen"},
      {"--until 0", "show until=0"},
      {"--until 2.5", "show until=2.5"},
      {"--frame 12.5 --out f.png", "frame no-dialog out=f.png frame=12.5 offline"},
      {"--frame 1 --out F.PNG", "frame no-dialog out=F.PNG frame=1 offline"},
      {"--capture frames --fps 30 --from 2 --to 4",
       "capture no-dialog capture=frames fps=30 from=2 to=4 offline"},
      {"--capture show.mp4", "capture no-dialog capture=show.mp4 offline"},
      {"--review --scene s.scene --resolution 800x600", "review no-dialog 800x600 scene=s.scene"},
      {"--bench --to 10", "bench no-dialog to=10 offline"},
      // Help and version win over everything else.
      {"--bogus --help", "help"}, {"-h", "help"}, {"--until x --version", "version"},
      {"--version --help", "help"}};
  // clang-format on
  for (const auto& [line, expected] : rows) {
    const app::ParseResult p = app::parseOptions(split(line));
    EXPECT_TRUE(p.ok) << line << ": " << p.error;
    EXPECT_EQ(describe(p.options), expected) << line;
  }
}

TEST(Options, RefusedCommandLinesGiveOneLineNamingTheProblem) {
  const std::pair<const char*, const char*> named[] = {{"--bogus", "--bogus"},
                                                       {"--until 1 --until 2", "more than once"},
                                                       {"scene.bin", "scene.bin"}};
  // clang-format off
  const char* refused[] = {
      "--resolution 640", "--resolution 640x", "--resolution x480", "--resolution 0x480",
      "--resolution 640x0", "--resolution -640x480", "--resolution 640x480x3",
      "--resolution 64ax480", "--resolution 99999x480", "--resolution ''", "--resolution",
      // Seconds are finite and not negative.
      "--until -1", "--until abc", "--until 3s", "--until ''", "--until inf", "--until nan",
      "--until 1e99", "--until",
      // --frame and --out need each other; the frame is PNG whatever the name says.
      "--frame 1", "--out f.png", "--frame x --out f.png", "--frame 1 --out f.jpg",
      "--frame 1 --out .png",
      "--capture d --fps 0", "--capture d --fps -5", "--capture d --fps 2.5",
      "--capture d --fps 1001", "--capture d --fps abc", "--capture d --from 5 --to 4", "--capture",
      "--review --frame 1 --out a.png", "--review --fullscreen", "--review=yes", "--bench=1",
      // Options of other modes.
      "--fps 30", "--bench --fps 30", "--from 1", "--frame 1 --out a.png --to 3",
      "--bench --capture d", "--frame 1 --out a.png --bench", "--bench --until 3",
      "--bench --fullscreen",
      "-x", "--no-dialog=yes", "--scene", "--scene ''"};
  // clang-format on
  std::vector<std::pair<const char*, const char*>> rows(std::begin(named), std::end(named));
  for (const char* line : refused) rows.push_back({line, ""});
  for (const auto& [line, names] : rows) {
    const app::ParseResult p = app::parseOptions(split(line));
    EXPECT_FALSE(p.ok) << line;
    EXPECT_FALSE(p.error.empty()) << line;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << line << ": " << p.error;
    EXPECT_NE(p.error.find(names), std::string::npos) << line << ": " << p.error;
  }
}

TEST(Options, UsageNamesEveryOption) {
  const std::string usage = app::usageText();
  for (const char* name : {"--no-dialog", "--resolution", "--fullscreen", "--until", "--scene",
                           "--pack", "--music", "--frame", "--out", "--capture", "--fps", "--from",
                           "--to", "--bench", "--review", "--help", "--version"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
}

}  // namespace
