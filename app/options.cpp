// Parsing of the show's command line into Options.
#include "app/options.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#ifndef GLIMMER_VERSION
#define GLIMMER_VERSION "0.0.0"
#endif

namespace app {

namespace {

constexpr int kMaxEdge = 16384;
constexpr int kMaxFps = 1000;

bool parseSeconds(const std::string& text, float& out) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const float v = std::strtof(text.c_str(), &end);
  if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(v) || v < 0.0f)
    return false;
  out = v;
  return true;
}

bool parseInt(const std::string& text, int lo, int hi, int& out) {
  if (text.empty() || text.size() > 9) return false;
  int v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}

bool parseResolution(const std::string& text, int& w, int& h) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  return parseInt(text.substr(0, x), 1, kMaxEdge, w) &&
         parseInt(text.substr(x + 1), 1, kMaxEdge, h);
}

const char* modeOption(RunMode m) {
  switch (m) {
    case RunMode::Frame:
      return "--frame";
    case RunMode::Capture:
      return "--capture";
    case RunMode::Bench:
      return "--bench";
    case RunMode::Review:
      return "--review";
    default:
      return "";
  }
}

ParseResult fail(std::string message) {
  ParseResult r;
  r.error = std::move(message);
  return r;
}

}  // namespace

ParseResult parseOptions(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      ParseResult r;
      r.ok = true;
      r.options.mode = RunMode::Help;
      return r;
    }
  }
  for (const std::string& a : args) {
    if (a == "--version") {
      ParseResult r;
      r.ok = true;
      r.options.mode = RunMode::Version;
      return r;
    }
  }

  Options o;
  std::vector<std::string> seen;
  bool outGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> inlineValue;
    if (name.rfind("--", 0) == 0) {
      const size_t eq = name.find('=');
      if (eq != std::string::npos) {
        inlineValue = name.substr(eq + 1);
        name = name.substr(0, eq);
      }
    } else {
      return fail("unexpected argument '" + name + "'");
    }
    for (const std::string& s : seen)
      if (s == name) return fail(name + " given more than once");
    seen.push_back(name);

    auto value = [&](std::string& out) -> bool {
      if (inlineValue) {
        out = *inlineValue;
        return true;
      }
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    auto flag = [&]() -> bool { return !inlineValue; };
    auto setMode = [&](RunMode m) -> std::optional<ParseResult> {
      if (o.mode != RunMode::Show)
        return fail(name + " cannot be combined with " + modeOption(o.mode));
      o.mode = m;
      return std::nullopt;
    };

    std::string v;
    if (name == "--no-dialog") {
      if (!flag()) return fail(name + " takes no value");
      o.noDialog = true;
    } else if (name == "--fullscreen") {
      if (!flag()) return fail(name + " takes no value");
      o.fullScreen = true;
    } else if (name == "--resolution") {
      if (!value(v) || !parseResolution(v, o.width, o.height))
        return fail("--resolution needs WIDTHxHEIGHT, for example 800x600");
    } else if (name == "--until") {
      float s = 0.0f;
      if (!value(v) || !parseSeconds(v, s)) return fail("--until needs a number of seconds >= 0");
      o.until = s;
    } else if (name == "--scene" || name == "--pack" || name == "--music" || name == "--out") {
      if (!value(v) || v.empty()) return fail(name + " needs a file name");
      if (name == "--scene")
        o.sceneFile = v;
      else if (name == "--pack")
        o.packFile = v;
      else if (name == "--music")
        o.musicFile = v;
      else {
        o.outFile = v;
        outGiven = true;
      }
    } else if (name == "--frame") {
      if (auto r = setMode(RunMode::Frame)) return *r;
      if (!value(v) || !parseSeconds(v, o.frameTime))
        return fail("--frame needs a demo time in seconds >= 0");
    } else if (name == "--capture") {
      if (auto r = setMode(RunMode::Capture)) return *r;
      if (!value(v) || v.empty()) return fail("--capture needs a folder or a FILE.mp4");
      o.capturePath = v;
    } else if (name == "--bench") {
      if (!flag()) return fail(name + " takes no value");
      if (auto r = setMode(RunMode::Bench)) return *r;
    } else if (name == "--review") {
      if (!flag()) return fail(name + " takes no value");
      if (auto r = setMode(RunMode::Review)) return *r;
    } else if (name == "--fps") {
      if (!value(v) || !parseInt(v, 1, kMaxFps, o.fps))
        return fail("--fps needs a whole number of frames per second from 1 to 1000");
      o.fpsGiven = true;
    } else if (name == "--from" || name == "--to") {
      float s = 0.0f;
      if (!value(v) || !parseSeconds(v, s))
        return fail(name + " needs a demo time in seconds >= 0");
      (name == "--from" ? o.from : o.to) = s;
    } else {
      return fail("unknown option '" + args[i] + "'");
    }
  }

  // Combinations.
  if (o.mode == RunMode::Frame && !outGiven) return fail("--frame needs --out FILE.png");
  // The frame is always written as PNG; another extension would mislabel the file.
  std::string extension = o.outFile.size() > 4 ? o.outFile.substr(o.outFile.size() - 4) : "";
  for (char& ch : extension) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (outGiven && extension != ".png")
    return fail("--out needs a file name ending in .png, not '" + o.outFile + "'");
  if (outGiven && o.mode != RunMode::Frame) return fail("--out is used only with --frame");
  if (o.fpsGiven && o.mode != RunMode::Capture) return fail("--fps is used only with --capture");
  if ((o.from || o.to) && o.mode != RunMode::Capture && o.mode != RunMode::Bench)
    return fail("--from and --to are used only with --capture or --bench");
  if (o.from && o.to && *o.to < *o.from) return fail("--to comes before --from");
  if (o.offline() && o.until)
    return fail(std::string("--until cannot be combined with ") + modeOption(o.mode));
  if (o.offline() && o.fullScreen)
    return fail(std::string("--fullscreen cannot be combined with ") + modeOption(o.mode));
  if (o.mode == RunMode::Review && o.fullScreen)
    return fail("--fullscreen cannot be combined with --review");
  // Settings given on the command line replace the dialog that would ask for them.
  if (o.width > 0 || o.fullScreen || o.offline() || o.mode == RunMode::Review) o.noDialog = true;

  ParseResult r;
  r.ok = true;
  r.options = o;
  return r;
}

std::string usageText() {
  return "usage: glimmer [options]\n"
         "\n"
         "Without options the show asks for a resolution in a small dialog, then plays until\n"
         "its end or until Escape is pressed.\n"
         "\n"
         "  --no-dialog            start at once with 640x480 windowed (or the settings below)\n"
         "  --resolution WxH       window or screen size, e.g. 800x600 (skips the dialog)\n"
         "  --fullscreen           switch the display to that size (skips the dialog)\n"
         "  --until SECONDS        stop once demo time passes SECONDS\n"
         "  --scene FILE           scene from FILE (a .scene source or compiled SceneData)\n"
         "  --pack FILE            mesh pack from FILE (a pack.manifest or a compiled pack)\n"
         "  --music FILE           music from FILE (song notation or an XM module)\n"
         "  --frame T --out FILE.png\n"
         "                         render the single frame at demo time T into a PNG\n"
         "  --capture DIR|FILE.mp4 [--fps N] [--from A] [--to B]\n"
         "                         render frames with a fixed step of 1/N s (default 60) into\n"
         "                         numbered PNGs in DIR, or a video with sound through ffmpeg\n"
         "  --bench [--from A] [--to B]\n"
         "                         render as fast as possible and print frame-time figures\n"
         "  --review               the show in a window driven by keys or by commands on\n"
         "                         standard input; --scene, --pack and --music also take\n"
         "                         sources, which are watched and reloaded when they change\n"
         "  --help                 this text\n"
         "  --version              the version\n"
         "\n"
         "Exit status: 0 after the show or a cancelled dialog, 1 when the window, the OpenGL\n"
         "context or a required OpenGL extension is missing, or the content cannot be read,\n"
         "2 on a usage error.\n";
}

std::string versionText() { return std::string("glimmer ") + GLIMMER_VERSION + "\n"; }

}  // namespace app
