// Review mode's command lines and keys: what each line asks for, and what each key stands for.
#include <gtest/gtest.h>

#include "app/review.h"
#include "platform/platform.h"

namespace app {
namespace {

TEST(ReviewCommand, ParsesEachVerbAndRejectsBadArguments) {
  const struct {
    const char* line;
    ReviewVerb verb;
    float value, value2;
    bool relative;
    int choice;
    const char* file;
  } accepted[] = {
      {"pause", ReviewVerb::Pause, 0, 0, false, 0, ""},
      {"seek 12.5", ReviewVerb::Seek, 12.5f, 0, false, 0, ""},
      {"seek +1", ReviewVerb::Seek, 1.0f, 0, true, 0, ""},
      {"seek -10", ReviewVerb::Seek, -10.0f, 0, true, 0, ""},
      {"cut next", ReviewVerb::Cut, 0, 0, false, 1, ""},
      {"cut prev", ReviewVerb::Cut, 0, 0, false, -1, ""},
      {"loop 10 20", ReviewVerb::Loop, 10.0f, 20.0f, false, 1, ""},
      {"loop", ReviewVerb::Loop, 0, 0, false, -1, ""},
      {"loop off", ReviewVerb::Loop, 0, 0, false, 0, ""},
      {"mark b", ReviewVerb::Mark, 0, 0, false, 1, ""},
      {"shot out dir/a b.png", ReviewVerb::Shot, 0, 0, false, 0, "out dir/a b.png"},
      {"wait 0.5", ReviewVerb::Wait, 0.5f, 0, false, 0, ""},
      {"status off", ReviewVerb::Status, 0, 0, false, 0, ""},
      {"quit", ReviewVerb::Quit, 0, 0, false, 0, ""},
  };
  for (const auto& c : accepted) {
    ReviewCommand command;
    std::string error;
    ASSERT_TRUE(parseReviewCommand(c.line, command, error)) << c.line << ": " << error;
    EXPECT_EQ(command.verb, c.verb) << c.line;
    EXPECT_EQ((std::pair{command.value, command.value2}), (std::pair{c.value, c.value2})) << c.line;
    EXPECT_EQ(command.relative, c.relative) << c.line;
    EXPECT_EQ(command.choice, c.choice) << c.line;
    EXPECT_EQ(command.file, c.file) << c.line;
  }
  for (const char* line : {"seek", "seek ten", "loop 20 10", "cut sideways", "wait -1", "shot",
                           "quit now", "jump 3"}) {
    ReviewCommand command;
    std::string error;
    EXPECT_FALSE(parseReviewCommand(line, command, error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

TEST(ReviewCommand, KeysStandForCommandLines) {
  const struct {
    int key;
    bool paused;
    const char* line;
  } cases[] = {
      // clang-format off
      {' ', false, "pause"}, {' ', true, "play"}, {platform::kKeyLeft, false, "seek -1"},
      {platform::kKeyRight, false, "seek +1"}, {platform::kKeyUp, false, "seek -10"},
      {platform::kKeyDown, false, "seek +10"}, {platform::kKeyHome, false, "seek 0"},
      {'[', false, "cut prev"}, {']', false, "cut next"}, {'a', false, "mark a"},
      {'b', false, "mark b"}, {'l', false, "loop"}, {'h', false, "status"}, {'r', false, "reload"},
      {27, false, "quit"}, {'x', false, ""},
      // clang-format on
  };
  for (const auto& c : cases) {
    EXPECT_EQ(reviewKeyCommand(c.key, c.paused), c.line) << c.key;
    // Every key's line is a command the parser takes.
    ReviewCommand command;
    std::string error;
    EXPECT_TRUE(!*c.line || parseReviewCommand(c.line, command, error)) << c.line << ": " << error;
  }
}

}  // namespace
}  // namespace app
