// Review mode's command lines and keys: what each line asks for, and what each key stands for.
#include <gtest/gtest.h>

#include "app/review.h"
#include "platform/platform.h"

namespace app {
namespace {

struct CommandCase {
  const char* line;
  bool ok;
  ReviewVerb verb;
  float value, value2;
  bool relative;
  int choice;
  const char* file;
};

TEST(ReviewCommand, ParsesEachVerbAndRejectsBadArguments) {
  const CommandCase cases[] = {
      {"pause", true, ReviewVerb::Pause, 0, 0, false, 0, ""},
      {"seek 12.5", true, ReviewVerb::Seek, 12.5f, 0, false, 0, ""},
      {"seek +1", true, ReviewVerb::Seek, 1.0f, 0, true, 0, ""},
      {"seek -10", true, ReviewVerb::Seek, -10.0f, 0, true, 0, ""},
      {"cut next", true, ReviewVerb::Cut, 0, 0, false, 1, ""},
      {"cut prev", true, ReviewVerb::Cut, 0, 0, false, -1, ""},
      {"loop 10 20", true, ReviewVerb::Loop, 10.0f, 20.0f, false, 1, ""},
      {"loop", true, ReviewVerb::Loop, 0, 0, false, -1, ""},
      {"loop off", true, ReviewVerb::Loop, 0, 0, false, 0, ""},
      {"mark b", true, ReviewVerb::Mark, 0, 0, false, 1, ""},
      {"shot out dir/a b.png", true, ReviewVerb::Shot, 0, 0, false, 0, "out dir/a b.png"},
      {"wait 0.5", true, ReviewVerb::Wait, 0.5f, 0, false, 0, ""},
      {"status off", true, ReviewVerb::Status, 0, 0, false, 0, ""},
      {"quit", true, ReviewVerb::Quit, 0, 0, false, 0, ""},
      {"seek", false, {}, 0, 0, false, 0, ""},
      {"seek ten", false, {}, 0, 0, false, 0, ""},
      {"loop 20 10", false, {}, 0, 0, false, 0, ""},
      {"cut sideways", false, {}, 0, 0, false, 0, ""},
      {"wait -1", false, {}, 0, 0, false, 0, ""},
      {"shot", false, {}, 0, 0, false, 0, ""},
      {"quit now", false, {}, 0, 0, false, 0, ""},
      {"jump 3", false, {}, 0, 0, false, 0, ""},
  };
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.line);
    ReviewCommand command;
    std::string error;
    ASSERT_EQ(parseReviewCommand(c.line, command, error), c.ok) << error;
    if (!c.ok) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    EXPECT_EQ(command.verb, c.verb);
    EXPECT_FLOAT_EQ(command.value, c.value);
    EXPECT_FLOAT_EQ(command.value2, c.value2);
    EXPECT_EQ(command.relative, c.relative);
    EXPECT_EQ(command.choice, c.choice);
    EXPECT_EQ(command.file, c.file);
  }
}

TEST(ReviewCommand, KeysStandForCommandLines) {
  const struct {
    int key;
    bool paused;
    const char* line;
  } cases[] = {
      {' ', false, "pause"},
      {' ', true, "play"},
      {platform::kKeyLeft, false, "seek -1"},
      {platform::kKeyRight, false, "seek +1"},
      {platform::kKeyUp, false, "seek -10"},
      {platform::kKeyDown, false, "seek +10"},
      {platform::kKeyHome, false, "seek 0"},
      {'[', false, "cut prev"},
      {']', false, "cut next"},
      {'a', false, "mark a"},
      {'b', false, "mark b"},
      {'l', false, "loop"},
      {'h', false, "status"},
      {'r', false, "reload"},
      {27, false, "quit"},
      {'x', false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(reviewKeyCommand(c.key, c.paused), c.line) << c.key;
    // Every key's line is a command the parser takes.
    ReviewCommand command;
    std::string error;
    if (*c.line) {
      EXPECT_TRUE(parseReviewCommand(c.line, command, error)) << c.line << ": " << error;
    }
  }
}

}  // namespace
}  // namespace app
