// The shell's logic without a window: the command line, whole-word extension matching, the
// settings dialog's procedure, review mode's command lines and keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <tuple>

#include "app/dialog.h"
#include "app/gl_context.h"
#include "app/options.h"
#include "app/review.h"
#include "platform/platform.h"

namespace app {
namespace {

// The fields that differ from an empty command line, in a fixed order.
std::string describe(const Options& o) {
  const char* modes[] = {"show", "frame", "capture", "bench", "review", "help", "version"};
  std::ostringstream s;
  s << modes[static_cast<int>(o.mode)];
  if (o.noDialog) s << " no-dialog";
  if (o.width || o.height) s << " " << o.width << "x" << o.height;
  if (o.fullScreen) s << " fullscreen";
  if (o.until) s << " until=" << *o.until;
  const char* names[] = {"scene", "pack", "music", "out", "capture"};
  const std::string* files[] = {&o.sceneFile, &o.packFile, &o.musicFile, &o.outFile,
                                &o.capturePath};
  for (size_t i = 0; i < 5; ++i)
    if (!files[i]->empty()) s << " " << names[i] << "=" << *files[i];
  if (o.frameTime != 0) s << " frame=" << o.frameTime;
  if (o.fps != kDefaultFps) s << " fps=" << o.fps;
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

TEST(Options, CommandLines) {
  // clang-format off
  const std::pair<const char*, const char*> rows[] = {
      {"", "show"},
      {"--no-dialog --until 3 --scene s.bin --pack=p.bin --music m.xm",
       "show no-dialog until=3 scene=s.bin pack=p.bin music=m.xm"},
      // A resolution or full screen replaces the dialog.
      {"--resolution 1024x768", "show no-dialog 1024x768"},
      {"--resolution=333X222 --fullscreen", "show no-dialog 333x222 fullscreen"},
      {"--fullscreen", "show no-dialog fullscreen"}, {"--until 0", "show until=0"},
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
    const ParseResult p = parseOptions(split(line));
    EXPECT_EQ(p.ok ? describe(p.options) : "refused: " + p.error, expected) << line;
  }
  // Refused lines give one line of error; after a '|', what it must name.
  // clang-format off
  const char* refused[] = {
      "--bogus|--bogus", "--until 1 --until 2|more than once", "scene.bin|scene.bin",
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
  for (const std::string row : refused) {
    const size_t bar = std::min(row.find('|'), row.size());
    const ParseResult p = parseOptions(split(row.substr(0, bar)));
    EXPECT_TRUE(!p.ok && !p.error.empty() && p.error.find('\n') == std::string::npos) << row;
    EXPECT_NE(p.error.find(row.substr(std::min(bar + 1, row.size()))), std::string::npos)
        << row << ": " << p.error;
  }
  // The usage text names every option.
  const std::string usage = usageText();
  for (const char* name : {"--no-dialog", "--resolution", "--fullscreen", "--until", "--scene",
                           "--pack", "--music", "--frame", "--out", "--capture", "--fps", "--from",
                           "--to", "--bench", "--review", "--help", "--version"})
    EXPECT_NE(usage.find(name), std::string::npos) << name;
}

// ---------------------------------------------------------------------------------------------

TEST(ExtensionList, MatchesWholeSpaceSeparatedWordsOnly) {
  // clang-format off
  const std::tuple<const char*, const char*, bool> rows[] = {
      {"GL_A GL_B GL_C", "GL_A", true}, {"GL_A GL_B GL_C", "GL_B", true},
      {"GL_A GL_B GL_C", "GL_C", true}, {"GL_A GL_B ", "GL_B", true},
      {"GL_A  GL_B", "GL_B", true}, {" GL_A", "GL_A", true}, {"GL_A", "GL_A", true},
      // The beginning or the end of a longer word.
      {"GL_AB GL_X", "GL_A", false}, {"GL_X GL_A2", "GL_A", false}, {"GL_ABC", "GL_AB", false},
      {"XGL_A", "GL_A", false}, {"GL_X WGL_A", "GL_A", false},
      {"GL_A", "GL_A GL_B", false},  // a name longer than the whole list
      {nullptr, "GL_A", false}, {"", "GL_A", false}, {"GL_A", nullptr, false}};
  // clang-format on
  for (const auto& [words, name, has] : rows)
    EXPECT_EQ(extensionListHas(words, name), has)
        << (words ? words : "(null)") << " / " << (name ? name : "(null)");
}

// ---------------------------------------------------------------------------------------------

TEST(DialogProcedure, Messages) {
  using platform::kDialogExit, platform::DialogMessage;
  // Commands by word parameter; this one stands for Init. Exit, the close message and Escape's
  // cancel are DialogScript's rows on the real dialog.
  constexpr uint32_t kRun = platform::kDialogRun, kInit = 0xFFFF0000;
  const DialogSettings odd{333, 222, false}, full{333, 222, true};
  // Label; message; checked: full screen, 640, 800, 1024; settings before; reply (end, result);
  // settings after. Init checks 640 x 480, as the Run sent after it shows.
  // clang-format off
  const std::tuple<const char*, uint32_t, platform::DialogControls, DialogSettings,
                   platform::DialogReply, DialogSettings> rows[] = {
      {"init", kInit, {}, odd, {0, 0}, {640, 480, false}},
      {"640", kRun, {0, 1, 0, 0}, odd, {1, 1}, {640, 480, false}},
      {"800 before 1024", kRun, {1, 0, 1, 1}, odd, {1, 1}, {800, 600, true}},
      {"none checked keeps the size", kRun, {}, odd, {1, 1}, odd},
      {"full screen never cleared", kRun, {}, full, {1, 1}, full},
      // Run and Exit with a notification code in the high word are no clicks.
      {"Run notified", (6u << 16) | kRun, {1, 1}, odd, {0, 0}, odd},
      {"Exit notified", (5u << 16) | kDialogExit, {}, odd, {0, 0}, odd},
  };
  // clang-format on
  for (auto [label, word, controls, settings, reply, after] : rows) {
    const DialogMessage m = word == kInit ? DialogMessage::Init : DialogMessage::Command;
    const platform::DialogReply got = settingsDialogProcedure(m, word, controls, settings);
    if (word == kInit) settingsDialogProcedure(DialogMessage::Command, kRun, controls, settings);
    EXPECT_EQ(std::tuple(got.end, got.result, settings.width, settings.height, settings.fullScreen),
              std::tuple(reply.end, reply.result, after.width, after.height, after.fullScreen))
        << label;
  }
}

// ---------------------------------------------------------------------------------------------

TEST(ReviewCommand, LinesAndKeys) {
  // Line, verb, value, value2, relative, choice, file. Pause, an absolute seek, a loop between
  // two times and quit are checked by their replies in ReviewSession.
  using V = ReviewVerb;
  // clang-format off
  const std::tuple<const char*, ReviewVerb, float, float, bool, int, std::string> accepted[] = {
      {"seek +1", V::Seek, 1.0f, 0, true, 0, ""}, {"seek -10", V::Seek, -10.0f, 0, true, 0, ""},
      {"cut next", V::Cut, 0, 0, false, 1, ""}, {"cut prev", V::Cut, 0, 0, false, -1, ""},
      {"loop", V::Loop, 0, 0, false, -1, ""}, {"loop off", V::Loop, 0, 0, false, 0, ""},
      {"mark b", V::Mark, 0, 0, false, 1, ""}, {"wait 0.5", V::Wait, 0.5f, 0, false, 0, ""},
      {"status off", V::Status, 0, 0, false, 0, ""},
      {"shot out dir/a b.png", V::Shot, 0, 0, false, 0, "out dir/a b.png"}};
  // clang-format on
  ReviewCommand c;
  for (const auto& [line, verb, value, value2, relative, choice, file] : accepted) {
    std::string error;
    ASSERT_TRUE(parseReviewCommand(line, c, error)) << line << ": " << error;
    EXPECT_EQ(std::tie(c.verb, c.value, c.value2, c.relative, c.choice, c.file),
              std::tie(verb, value, value2, relative, choice, file))
        << line;
  }
  for (const char* line : {"seek", "seek ten", "loop 20 10", "cut sideways", "wait -1", "shot",
                           "quit now", "jump 3"}) {
    std::string error;
    EXPECT_TRUE(!parseReviewCommand(line, c, error) && !error.empty()) << line;
  }
  // Each key stands for a command line (key, paused, line), one the parser takes.
  // clang-format off
  const std::tuple<int, bool, const char*> keys[] = {
      {' ', false, "pause"}, {' ', true, "play"}, {platform::kKeyLeft, false, "seek -1"},
      {platform::kKeyRight, false, "seek +1"}, {platform::kKeyUp, false, "seek -10"},
      {platform::kKeyDown, false, "seek +10"}, {platform::kKeyHome, false, "seek 0"},
      {'[', false, "cut prev"}, {']', false, "cut next"}, {'a', false, "mark a"},
      {'b', false, "mark b"}, {'l', false, "loop"}, {'h', false, "status"}, {'r', false, "reload"},
      {27, false, "quit"}, {'x', false, ""}};
  // clang-format on
  for (const auto& [key, paused, line] : keys) {
    std::string error;
    EXPECT_EQ(reviewKeyCommand(key, paused), line) << key;
    EXPECT_TRUE(!*line || parseReviewCommand(line, c, error)) << line << ": " << error;
  }
}

}  // namespace
}  // namespace app
