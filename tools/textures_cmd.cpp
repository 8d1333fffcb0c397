// glimmerc textures: runs every texture's commands on the CPU, without a window, and writes one
// 8-bit RGBA PNG per texture (alpha kept, PNG row k = image row k) named NNN-<name>.png.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scene/scene.h"
#include "texgen/texgen.h"
#include "tools/commands.h"
#include "tools/preview_input.h"
#include "tools/compile/compile.h"

namespace glimmerc {

namespace {

const char* kTexturesUsage =
    "usage: glimmerc textures IN [--pack PACK] -o DIR\n"
    "Runs the commands of every texture of IN (scene source or compiled SceneData) in registry\n"
    "order and writes DIR/NNN-name.png for each, NNN its index and name its label or comment.\n"
    "PNG rows are image rows as stored: row 0 is the top of the PNG but the bottom of the\n"
    "texture on screen, so lettering appears upside down. Alpha is kept.\n"
    "  --pack PACK   mesh pack that LoadPackImage reads its image from\n"
    "  -o DIR        output folder (created when missing)\n"
    "Exit codes: 0 written, 1 content error, 2 usage error.\n";



// "FILE:LINE:1" when the source gave the entity's line, else "FILE: texture N".
std::string where(const std::string& file, const SourceInfo& info, size_t index) {
  const auto& list = info.entities[0];
  if (index < list.size() && list[index].line > 0)
    return file + ":" + std::to_string(list[index].line) + ":1";
  return file + ": texture " + std::to_string(index);
}

// Refuses commands that could not run as written (layer index, edge length) and stored images
// that LoadPackImage could not read; warns about images the pack does not hold.
bool checkTextures(const std::string& file, const glimmer::SceneStream& stream,
                   const SourceInfo& info, const std::string& packFile,
                   std::span<const uint8_t> pack) {
  bool ok = true;
  const auto& textures = stream.categories[0];
  for (size_t i = 0; i < textures.size(); ++i) {
    for (char list : {'B', 'A'}) {
      const auto& tracks = list == 'A' ? textures[i].tracksA : textures[i].tracksB;
      for (size_t k = 0; k < tracks.size(); ++k) {
        const glimmer::TrackRecord& t = tracks[k];
        const std::string why = glimmer::textureCommandProblem(t);
        if (!why.empty()) {
          std::fprintf(stderr, "%s: error: texture %zu, list %c, command %zu: %s\n",
                       where(file, info, i).c_str(), i, list, k, why.c_str());
          ok = false;
        }
        if ((t.word & 0xFF) != static_cast<uint32_t>(glimmer::TextureOp::LoadPackImage) ||
            t.name.empty())
          continue;
        const auto payload = glimmer::findPackEntry(pack, t.name.c_str());
        if (!payload.data()) {
          std::fprintf(
              stderr,
              "%s: warning: texture %zu: LoadPackImage '%s' is not in %s; it draws nothing\n",
              where(file, info, i).c_str(), i, t.name.c_str(),
              packFile.empty() ? "the pack (no --pack given)" : packFile.c_str());
          continue;
        }
        size_t offset = 0;
        const std::string bad = glimmer::packImageProblem(payload, &offset);
        if (!bad.empty()) {
          const size_t base = static_cast<size_t>(payload.data() - pack.data());
          std::fprintf(stderr, "%s: offset %zu: error: entry '%s': %s\n", packFile.c_str(),
                       base + offset, t.name.c_str(), bad.c_str());
          ok = false;
        }
      }
    }
  }
  return ok;
}

}  // namespace

int texturesCommand(const Args& args) {
  PreviewInput input;
  if (const int code = preparePreview("textures", kTexturesUsage, args, input); code >= 0) return code;
  const std::string& in = input.in;
  const std::string& out = input.out;
  const std::string& packFile = input.packFile;
  const glimmer::SceneStream& stream = input.stream;
  const SourceInfo& info = input.info;
  const std::vector<uint8_t>& pack = input.pack;
  if (!checkTextures(in, stream, info, packFile, pack)) return 1;

  if (!createOutputFolder(out)) return 1;

  glimmer::meshPackData = pack;
  glimmer::resetTextureState();
  const auto& textures = stream.categories[0];
  const int digits = textures.size() > 1000 ? 4 : 3;
  std::vector<uint8_t> rgba;
  int status = 0;
  for (size_t i = 0; i < textures.size(); ++i) {
    // Textures are built one after the other in registry order: layers, the noise lattice and
    // the random state carry over exactly as in the show.
    glimmer::TextureObject tex;
    glimmer::readEntityRecord(textures[i], tex);
    tex.precalc();
    const int32_t n = tex.size;
    rgba.resize(static_cast<size_t>(n) * static_cast<size_t>(n) * 4);
    for (size_t p = 0; p < tex.pixels.size(); ++p) {
      const glimmer::TexturePixel px = tex.pixels[p];
      rgba[p * 4 + 0] = static_cast<uint8_t>(px >> 16);
      rgba[p * 4 + 1] = static_cast<uint8_t>(px >> 8);
      rgba[p * 4 + 2] = static_cast<uint8_t>(px);
      rgba[p * 4 + 3] = static_cast<uint8_t>(px >> 24);
    }
    const std::string display =
        i < info.entities[0].size() ? info.entities[0][i].displayName : std::string();
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "%0*zu-", digits, i);
    const std::filesystem::path path =
        std::filesystem::path(out) / (prefix + fileSafe(display, "texture") + ".png");
    if (!glimmer::writePngRgba(path.c_str(), n, n, rgba.data())) {
      std::fprintf(stderr, "%s: error: cannot write file\n", path.c_str());
      status = 1;
      continue;
    }
    std::printf("%s  %d x %d\n", path.c_str(), n, n);
  }
  glimmer::meshPackData = {};
  return status;
}

}  // namespace glimmerc
