// glimmerc scene compile|decompile|stats|ops
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <span>

#include "scene/opcodes.h"
#include "tools/commands.h"
#include "tools/compile/compile.h"

namespace glimmerc {

namespace {

const char* kSceneUsage =
    "usage: glimmerc scene compile IN.scene -o OUT.bin\n"
    "       glimmerc scene decompile IN [-o OUT.scene] (source text to stdout or OUT)\n"
    "       glimmerc scene stats IN                    (IN: source or compiled)\n"
    "       glimmerc scene ops [NAME]                  (the command reference: every opcode, or\n"
    "                                                   one opcode or category by NAME)\n"
    "compile prints warnings (FILE:LINE:COL: warning: ...) to stderr and still succeeds.\n";

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
      std::printf("  %-10s %-20s %5d tracks %5d animated\n",
                  glimmer::categoryName(static_cast<Category>(c)),
                  n ? n : ("Op" + std::to_string(op)).c_str(), u.first, u.second);
    }
  }
}

std::string rangeText(const glimmer::ParamDef& p) {
  if (!p.bounded()) return "";
  auto num = [](float v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(v));
    return std::string(buf);
  };
  if (p.max == std::numeric_limits<float>::max()) return num(p.min) + " or more";
  if (p.min == -std::numeric_limits<float>::max()) return "up to " + num(p.max);
  return num(p.min) + " to " + num(p.max);
}

void printOpcode(const glimmer::OpcodeDef& d) {
  std::printf("  %-3d %-20s list %c  %s\n", d.opcode, d.name, d.list, d.effect);
  if (d.text) std::printf("        \"string\"   %s\n", d.text);
  for (const glimmer::ParamDef& p : d.params) {
    if (p.index < 0) continue;
    const std::string slot = "p" + std::to_string(p.index);
    const std::string range = rangeText(p);
    if (range.empty())
      std::printf("        %-4s %-12s %s\n", slot.c_str(), p.name, p.unit);
    else
      std::printf("        %-4s %-12s %-44s %s\n", slot.c_str(), p.name, p.unit, range.c_str());
  }
}

void printValues(const char* title, std::span<const glimmer::NamedValue> values) {
  std::printf("%s\n", title);
  for (const glimmer::NamedValue& v : values)
    std::printf("  %-3d %-12s %s\n", v.value, v.name, v.meaning);
}

// The command reference from the shared tables; NAME picks an opcode, a category word or one of
// blend, edge and keys. Returns 1 when NAME matches nothing.
int printOps(const std::string& name) {
  using glimmer::Category;
  bool any = false;
  if (name.empty())
    std::fputs(
        "Units: 32nds = 1/32 of a world unit (y up, z toward the viewer); 256ths = a coordinate on\n"
        "a 256 x 256 texture canvas whatever the texture's size; channel = colour byte 0-255;\n"
        "percent of the screen counts from the bottom-left corner. Textures use list B, meshes\n"
        "list B for geometry and list A for the rest, the other categories list A. Ranges are the\n"
        "documented ones: the compiler warns outside them. docs/AUTHORING.md explains the model.\n\n",
        stdout);
  for (int c = 0; c < glimmer::kCategoryCount; ++c) {
    const auto cat = static_cast<Category>(c);
    const bool wholeCategory = name.empty() || name == glimmer::categoryWord(cat);
    bool header = false;
    for (const glimmer::OpcodeDef& d : glimmer::opcodeTable(cat)) {
      if (!wholeCategory && name != d.name) continue;
      if (!header) {
        std::printf("%s%s\n", any ? "\n" : "", glimmer::categoryWord(cat));
        header = true;
      }
      printOpcode(d);
      any = true;
    }
  }
  const bool all = name.empty();
  if (all || name == "blend") {
    std::printf(any ? "\n" : "");
    printValues("blend modes (texture mode=NAME; d the texture, s the drawn picture)",
                glimmer::blendModes());
    any = true;
  }
  if (all || name == "edge") {
    std::printf(any ? "\n" : "");
    printValues("edge modes (texture edge=NAME)", glimmer::edgeModes());
    any = true;
  }
  if (all || name == "keys") {
    std::printf(any ? "\n" : "");
    printValues("key types (key TIME TYPE; a track with exactly two keys is always linear)",
                glimmer::keyTypes());
    any = true;
  }
  if (!any) {
    std::fprintf(stderr, "glimmerc scene ops: no opcode, category or table named '%s'\n",
                 name.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int sceneCommand(const Args& args) {
  if (args.empty()) return usage("missing subcommand");
  const std::string& sub = args[0];
  if (sub == "--help" || sub == "-h") {
    std::fputs(kSceneUsage, stdout);
    return 0;
  }
  if (sub == "ops") {
    if (args.size() > 2) return usage("ops takes at most one NAME");
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
      std::fputs(kSceneUsage, stdout);
      return 0;
    }
    return printOps(args.size() == 2 ? args[1] : std::string());
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
    std::vector<std::string> warnings;
    const bool ok = compileSceneSource(text, in, stream, error, nullptr, &warnings);
    for (const std::string& w : warnings) std::fprintf(stderr, "%s\n", w.c_str());
    if (!ok) {
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
