// The show's command line: what it asks for, parsed without side effects.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

enum class RunMode {
  Show,     // the show itself (dialog unless told otherwise)
  Frame,    // --frame T --out FILE.png
  Capture,  // --capture DIR|FILE.mp4
  Bench,    // --bench
  Review,   // --review: the show driven by keys and standard-input commands
  Help,     // --help
  Version,  // --version
};

constexpr int kDefaultFps = 60;

struct Options {
  RunMode mode = RunMode::Show;
  bool noDialog = false;  // --no-dialog, or implied by --resolution / --fullscreen
  int width = 0;          // --resolution; 0 when not given
  int height = 0;
  bool fullScreen = false;     // --fullscreen
  std::optional<float> until;  // --until SECONDS: stop once demo time passes it
  std::string sceneFile;       // --scene FILE, empty: the embedded SceneData
  std::string packFile;        // --pack FILE, empty: the embedded MeshPack
  std::string musicFile;       // --music FILE, empty: the embedded MusicModule
  float frameTime = 0.0f;      // --frame T
  std::string outFile;         // --out FILE.png
  std::string capturePath;     // --capture DIR|FILE.mp4
  int fps = kDefaultFps;       // --fps N
  bool fpsGiven = false;
  std::optional<float> from;  // --from A
  std::optional<float> to;    // --to B

  // True for the modes that render without a person watching (no dialog, no message boxes).
  bool offline() const {
    return mode == RunMode::Frame || mode == RunMode::Capture || mode == RunMode::Bench;
  }
};

struct ParseResult {
  bool ok = false;
  Options options;
  std::string error;  // one line naming the offending argument when !ok
};

// Parses the arguments after the program name. Options take their value as the next argument
// or after '=' (--until=3). Each option may be given once; anything unknown, a missing or
// malformed value, a positional argument or a combination that makes no sense is an error.
ParseResult parseOptions(const std::vector<std::string>& args);

// The usage text printed by --help (stdout) and after a usage error (stderr).
std::string usageText();

// The version line printed by --version.
std::string versionText();

}  // namespace app
