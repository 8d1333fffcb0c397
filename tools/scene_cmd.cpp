// glimmerc scene compile|decompile|stats
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>

#include "tools/commands.h"
#include "tools/compile/compile.h"

namespace glimmerc {

namespace {

const char* kSceneUsage =
    "usage: glimmerc scene compile IN.scene -o OUT.bin\n"
    "       glimmerc scene decompile IN.bin            (source text to stdout)\n"
    "       glimmerc scene stats IN                    (IN: source or compiled)\n";

int usage(const char* why) {
  if (why) std::fprintf(stderr, "glimmerc scene: %s\n", why);
  std::fputs(kSceneUsage, stderr);
  return 2;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

void printStats(const glimmer::SceneStream& s) {
  using glimmer::Category;
  size_t records = 0, tracks = 0, keys = 0, bytes = glimmer::writeSceneStream(s).size();
  std::printf("%-10s %8s %8s %8s\n", "category", "records", "tracks", "keys");
  for (int c = 0; c < glimmer::kCategoryCount; ++c) {
    size_t t = 0, k = 0;
    for (const auto& e : s.categories[static_cast<size_t>(c)])
      for (const auto* list : {&e.tracksA, &e.tracksB})
        for (const auto& tr : *list) {
          ++t;
          k += tr.keys.size();
        }
    const size_t r = s.categories[static_cast<size_t>(c)].size();
    std::printf("%-10s %8zu %8zu %8zu\n", glimmer::categoryName(static_cast<Category>(c)), r, t, k);
    records += r;
    tracks += t;
    keys += k;
  }
  std::printf("%-10s %8zu %8zu %8zu\n", "total", records, tracks, keys);
  std::printf("stream bytes: %zu (trailing %zu)\n\nopcode usage:\n", bytes, s.trailing.size());
  for (int c = 0; c < glimmer::kCategoryCount; ++c) {
    std::map<int, std::pair<int, int>> use;  // opcode -> (tracks, animated)
    for (const auto& e : s.categories[static_cast<size_t>(c)])
      for (const auto* list : {&e.tracksA, &e.tracksB})
        for (const auto& tr : *list) {
          auto& u = use[static_cast<int>(tr.word & 0xFF)];
          ++u.first;
          if (tr.word & glimmer::kAnimatedBit) ++u.second;
        }
    for (const auto& [op, u] : use) {
      const char* n = opcodeName(static_cast<Category>(c), op);
      std::printf("  %-10s %-20s %5d tracks %5d animated\n", glimmer::categoryName(static_cast<Category>(c)),
                  n ? n : ("Op" + std::to_string(op)).c_str(), u.first, u.second);
    }
  }
}

}  // namespace

int sceneCommand(const Args& args) {
  if (args.empty()) return usage("missing subcommand");
  const std::string& sub = args[0];
  if (sub == "--help" || sub == "-h") {
    std::fputs(kSceneUsage, stdout);
    return 0;
  }
  std::string in, out;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::fputs(kSceneUsage, stdout);
      return 0;
    }
    if (args[i] == "-o") {
      if (i + 1 >= args.size()) return usage("-o needs a file");
      out = args[++i];
    } else if (args[i].starts_with("-")) {
      return usage(("unknown option " + args[i]).c_str());
    } else if (in.empty()) {
      in = args[i];
    } else {
      return usage("more than one input");
    }
  }
  if (in.empty()) return usage("missing input file");
  glimmer::SceneStream stream;
  std::string error;
  if (sub == "compile") {
    if (out.empty()) return usage("compile needs -o OUT.bin");
    std::ifstream f(in, std::ios::binary);
    if (!f) {
      std::fprintf(stderr, "%s: error: cannot open file\n", in.c_str());
      return 1;
    }
    std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    if (!compileSceneSource(text, in, stream, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    if (!writeFile(out, glimmer::writeSceneStream(stream))) {
      std::fprintf(stderr, "%s: error: cannot write file\n", out.c_str());
      return 1;
    }
    return 0;
  }
  if (sub == "decompile" || sub == "stats") {
    if (!out.empty() && sub == "stats") return usage("stats takes no -o");
    if (!loadSceneInput(in, stream, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    if (sub == "stats") {
      printStats(stream);
      return 0;
    }
    const std::string text = decompileScene(stream);
    if (out.empty()) {
      std::fwrite(text.data(), 1, text.size(), stdout);
    } else if (!writeFile(out, std::vector<uint8_t>(text.begin(), text.end()))) {
      std::fprintf(stderr, "%s: error: cannot write file\n", out.c_str());
      return 1;
    }
    return 0;
  }
  return usage(("unknown subcommand " + sub).c_str());
}

}  // namespace glimmerc
