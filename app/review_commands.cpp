// Review mode's command language: one table of verbs, the parser of a command line, and the
// keys, each of which stands for a command line so that keys and scripts run the same code.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "app/review.h"
#include "platform/platform.h"

namespace app {

namespace {

bool parseNumber(const std::string& text, float& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const float v = std::strtof(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool parseSeconds(const std::string& text, float& out) {
  return parseNumber(text, out) && out >= 0;
}

struct VerbName {
  const char* name;
  ReviewVerb verb;
};
constexpr VerbName kVerbs[] = {
    {"pause", ReviewVerb::Pause},   {"play", ReviewVerb::Play}, {"seek", ReviewVerb::Seek},
    {"cut", ReviewVerb::Cut},       {"loop", ReviewVerb::Loop}, {"mark", ReviewVerb::Mark},
    {"reload", ReviewVerb::Reload}, {"shot", ReviewVerb::Shot}, {"wait", ReviewVerb::Wait},
    {"status", ReviewVerb::Status}, {"time", ReviewVerb::Time}, {"quit", ReviewVerb::Quit},
};

}  // namespace

bool parseReviewCommand(const std::string& line, ReviewCommand& command, std::string& error) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  if (words.empty()) {
    error = "empty command";
    return false;
  }
  const VerbName* found = nullptr;
  for (const VerbName& v : kVerbs)
    if (words[0] == v.name) found = &v;
  if (!found) {
    error = "unknown command '" + words[0] + "'";
    return false;
  }
  ReviewCommand c;
  c.verb = found->verb;
  const size_t args = words.size() - 1;
  auto usage = [&](const char* form) {
    error = std::string("usage: ") + form;
    return false;
  };
  switch (c.verb) {
    case ReviewVerb::Pause:
    case ReviewVerb::Play:
    case ReviewVerb::Reload:
    case ReviewVerb::Time:
    case ReviewVerb::Quit:
      if (args != 0) return usage(found->name);
      break;
    case ReviewVerb::Seek:
      if (args != 1) return usage("seek SECONDS | seek +STEP | seek -STEP");
      c.relative = words[1][0] == '+' || words[1][0] == '-';
      if (!parseNumber(words[1], c.value) || (!c.relative && c.value < 0))
        return usage("seek SECONDS | seek +STEP | seek -STEP");
      break;
    case ReviewVerb::Cut:
      if (args != 1 || (words[1] != "next" && words[1] != "prev")) return usage("cut next|prev");
      c.choice = words[1] == "next" ? 1 : -1;
      break;
    case ReviewVerb::Loop:
      c.choice = -1;
      if (args == 2) {
        if (!parseSeconds(words[1], c.value) || !parseSeconds(words[2], c.value2) ||
            c.value2 <= c.value)
          return usage("loop A B (A < B) | loop | loop off");
        c.hasRange = true;
        c.choice = 1;
      } else if (args == 1 && words[1] == "off") {
        c.choice = 0;
      } else if (args != 0) {
        return usage("loop A B (A < B) | loop | loop off");
      }
      break;
    case ReviewVerb::Mark:
      if (args != 1 || (words[1] != "a" && words[1] != "b")) return usage("mark a|b");
      c.choice = words[1] == "a" ? 0 : 1;
      break;
    case ReviewVerb::Shot: {
      // The file name is the rest of the line, so it may hold spaces.
      const size_t at = line.find("shot") + 4;
      const size_t start = line.find_first_not_of(" \t", at);
      const size_t end = line.find_last_not_of(" \t\r");
      if (start == std::string::npos || end < start) return usage("shot FILE.png");
      c.file = line.substr(start, end - start + 1);
      break;
    }
    case ReviewVerb::Wait:
      if (args != 1 || !parseSeconds(words[1], c.value)) return usage("wait SECONDS");
      break;
    case ReviewVerb::Status:
      c.choice = -1;
      if (args == 1 && (words[1] == "on" || words[1] == "off"))
        c.choice = words[1] == "on" ? 1 : 0;
      else if (args != 0)
        return usage("status [on|off]");
      break;
  }
  command = c;
  return true;
}

std::string reviewKeyCommand(int key, bool paused) {
  switch (key) {
    case ' ':
      return paused ? "play" : "pause";
    case platform::kKeyLeft:
      return "seek -1";
    case platform::kKeyRight:
      return "seek +1";
    case platform::kKeyUp:
      return "seek -10";
    case platform::kKeyDown:
      return "seek +10";
    case platform::kKeyHome:
      return "seek 0";
    case '[':
      return "cut prev";
    case ']':
      return "cut next";
    case 'a':
      return "mark a";
    case 'b':
      return "mark b";
    case 'l':
      return "loop";
    case 'h':
      return "status";
    case 'r':
      return "reload";
    case 27:
      return "quit";
    default:
      return "";
  }
}

}  // namespace app
