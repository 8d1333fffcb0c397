// Shared input handling of the preview commands.
#include "tools/preview_input.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace glimmerc {

bool readFile(const std::string& path, std::vector<uint8_t>& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

std::string fileSafe(const std::string& name, const char* fallback) {
  std::string out;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '-' || c == '_' || c == '.')
      out += c;
    else if (!out.empty() && out.back() != '-')
      out += '-';
  }
  while (!out.empty() && (out.back() == '-' || out.back() == '.')) out.pop_back();
  while (!out.empty() && (out.front() == '-' || out.front() == '.')) out.erase(out.begin());
  return out.empty() ? std::string(fallback) : out;
}

int preparePreview(const char* command, const char* usage, const Args& args, PreviewInput& p) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      std::fputs(usage, stdout);
      return 0;
    }
    if ((a == "-o" || a == "--pack") && i + 1 < args.size()) {
      (a == "-o" ? p.out : p.packFile) = args[++i];
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "glimmerc %s: unknown or incomplete option '%s'\n%s", command, a.c_str(), usage);
      return 2;
    } else if (p.in.empty()) {
      p.in = a;
    } else {
      std::fprintf(stderr, "glimmerc %s: more than one input ('%s')\n%s", command, a.c_str(), usage);
      return 2;
    }
  }
  if (p.in.empty() || p.out.empty()) {
    std::fputs(usage, stderr);
    return 2;
  }
  std::string error;
  if (!loadSceneInput(p.in, p.stream, error, &p.info)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  if (!p.packFile.empty()) {
    if (!readFile(p.packFile, p.pack)) {
      std::fprintf(stderr, "%s: error: cannot open file\n", p.packFile.c_str());
      return 1;
    }
    std::string stop;
    glimmer::listPackEntries(p.pack, &stop);
    if (!stop.empty()) {
      std::fprintf(stderr, "%s: error: %s\n", p.packFile.c_str(), stop.c_str());
      return 1;
    }
  }
  return -1;
}

bool createOutputFolder(const std::string& dir) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    std::fprintf(stderr, "%s: error: cannot create folder: %s\n", dir.c_str(), ec.message().c_str());
    return false;
  }
  return true;
}

}  // namespace glimmerc
