// The show's command line.
#include "app/options.h"

#include <gtest/gtest.h>

namespace {

using app::Options;
using app::parseOptions;
using app::RunMode;

Options ok(std::vector<std::string> args) {
  const app::ParseResult r = parseOptions(args);
  EXPECT_TRUE(r.ok) << r.error;
  return r.options;
}

std::string error(std::vector<std::string> args) {
  const app::ParseResult r = parseOptions(args);
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.error.empty());
  EXPECT_EQ(r.error.find('\n'), std::string::npos);
  return r.error;
}

TEST(Options, NoArgumentsIsTheShowWithItsDialog) {
  const Options o = ok({});
  EXPECT_EQ(o.mode, RunMode::Show);
  EXPECT_FALSE(o.noDialog);
  EXPECT_EQ(o.width, 0);
  EXPECT_FALSE(o.fullScreen);
  EXPECT_FALSE(o.until.has_value());
  EXPECT_TRUE(o.sceneFile.empty());
  EXPECT_FALSE(o.offline());
}

TEST(Options, ShowOptionsAreParsed) {
  const Options o =
      ok({"--no-dialog", "--until", "3", "--scene", "s.bin", "--pack=p.bin", "--music", "m.xm"});
  EXPECT_TRUE(o.noDialog);
  ASSERT_TRUE(o.until.has_value());
  EXPECT_FLOAT_EQ(*o.until, 3.0f);
  EXPECT_EQ(o.sceneFile, "s.bin");
  EXPECT_EQ(o.packFile, "p.bin");
  EXPECT_EQ(o.musicFile, "m.xm");
}

TEST(Options, ResolutionAndFullScreenReplaceTheDialog) {
  Options o = ok({"--resolution", "1024x768"});
  EXPECT_EQ(o.width, 1024);
  EXPECT_EQ(o.height, 768);
  EXPECT_TRUE(o.noDialog);
  o = ok({"--resolution=333X222", "--fullscreen"});
  EXPECT_EQ(o.width, 333);
  EXPECT_EQ(o.height, 222);
  EXPECT_TRUE(o.fullScreen);
  EXPECT_TRUE(o.noDialog);
  o = ok({"--fullscreen"});
  EXPECT_TRUE(o.noDialog);
  EXPECT_EQ(o.width, 0);
}

TEST(Options, BadResolutionsAreRefused) {
  for (const char* r : {"640", "640x", "x480", "0x480", "640x0", "-640x480", "640x480x3", "64ax480",
                        "99999x480", ""})
    error({"--resolution", r});
  error({"--resolution"});
}

TEST(Options, SecondsMustBeFiniteAndNotNegative) {
  EXPECT_FLOAT_EQ(*ok({"--until", "0"}).until, 0.0f);
  EXPECT_FLOAT_EQ(*ok({"--until", "2.5"}).until, 2.5f);
  for (const char* s : {"-1", "abc", "3s", "", "inf", "nan", "1e99"}) error({"--until", s});
  error({"--until"});
}

TEST(Options, FrameNeedsOut) {
  const Options o = ok({"--frame", "12.5", "--out", "f.png"});
  EXPECT_EQ(o.mode, RunMode::Frame);
  EXPECT_FLOAT_EQ(o.frameTime, 12.5f);
  EXPECT_EQ(o.outFile, "f.png");
  EXPECT_TRUE(o.offline());
  EXPECT_TRUE(o.noDialog);
  error({"--frame", "1"});
  error({"--out", "f.png"});
  error({"--frame", "x", "--out", "f.png"});
  // The frame is written as PNG whatever the name says, so other extensions are refused.
  error({"--frame", "1", "--out", "f.jpg"});
  error({"--frame", "1", "--out", ".png"});
  EXPECT_EQ(ok({"--frame", "1", "--out", "F.PNG"}).outFile, "F.PNG");
}

TEST(Options, CaptureTakesFpsAndARange) {
  Options o = ok({"--capture", "frames", "--fps", "30", "--from", "2", "--to", "4"});
  EXPECT_EQ(o.mode, RunMode::Capture);
  EXPECT_EQ(o.capturePath, "frames");
  EXPECT_EQ(o.fps, 30);
  EXPECT_FLOAT_EQ(*o.from, 2.0f);
  EXPECT_FLOAT_EQ(*o.to, 4.0f);
  o = ok({"--capture", "show.mp4"});
  EXPECT_EQ(o.fps, app::kDefaultFps);
  EXPECT_FALSE(o.from.has_value());
  for (const char* f : {"0", "-5", "2.5", "1001", "abc"}) error({"--capture", "d", "--fps", f});
  error({"--capture", "d", "--from", "5", "--to", "4"});
  error({"--capture"});
}

TEST(Options, ReviewTakesContentFilesAndNoOtherMode) {
  const Options o = ok({"--review", "--scene", "s.scene", "--resolution", "800x600"});
  EXPECT_EQ(o.mode, RunMode::Review);
  EXPECT_TRUE(o.noDialog);
  EXPECT_FALSE(o.offline());
  EXPECT_EQ(o.sceneFile, "s.scene");
  error({"--review", "--frame", "1", "--out", "a.png"});
  error({"--review", "--fullscreen"});
  error({"--review=yes"});
}

TEST(Options, BenchTakesARange) {
  const Options o = ok({"--bench", "--to", "10"});
  EXPECT_EQ(o.mode, RunMode::Bench);
  EXPECT_FALSE(o.from.has_value());
  EXPECT_FLOAT_EQ(*o.to, 10.0f);
  error({"--bench=1"});
}

TEST(Options, OptionsOfOtherModesAreRefused) {
  error({"--fps", "30"});
  error({"--bench", "--fps", "30"});
  error({"--from", "1"});
  error({"--frame", "1", "--out", "a.png", "--to", "3"});
  error({"--bench", "--capture", "d"});
  error({"--frame", "1", "--out", "a.png", "--bench"});
  error({"--bench", "--until", "3"});
  error({"--bench", "--fullscreen"});
}

TEST(Options, UnknownRepeatedAndPositionalArgumentsAreRefused) {
  EXPECT_NE(error({"--bogus"}).find("--bogus"), std::string::npos);
  EXPECT_NE(error({"--until", "1", "--until", "2"}).find("more than once"), std::string::npos);
  EXPECT_NE(error({"scene.bin"}).find("scene.bin"), std::string::npos);
  error({"-x"});
  error({"--no-dialog=yes"});
  error({"--scene"});
  error({"--scene", ""});
}

TEST(Options, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(ok({"--bogus", "--help"}).mode, RunMode::Help);
  EXPECT_EQ(ok({"-h"}).mode, RunMode::Help);
  EXPECT_EQ(ok({"--until", "x", "--version"}).mode, RunMode::Version);
  EXPECT_EQ(ok({"--version", "--help"}).mode, RunMode::Help);
}

TEST(Options, UsageNamesEveryOption) {
  const std::string usage = app::usageText();
  for (const char* name : {"--no-dialog", "--resolution", "--fullscreen", "--until", "--scene",
                           "--pack", "--music", "--frame", "--out", "--capture", "--fps", "--from",
                           "--to", "--bench", "--help", "--version"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
  EXPECT_EQ(app::versionText().rfind("glimmer ", 0), 0u);
}

}  // namespace
