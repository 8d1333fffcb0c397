// The pack tool's readers (OBJ meshes, TGA images, the manifest) and the OBJ writer. Every reader
// is bounded by its input and reports the file with line and column or byte offset.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <set>

#include "tools/compile/compile.h"

namespace glimmer {

std::string SourceError::message() const {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": error: " + what;
}

namespace {

struct Token {
  std::string_view text;
  int column = 0;  // 1-based
};

// Splits a line at blanks and tabs; a '#' outside a token starts a comment.
std::vector<Token> tokenize(std::string_view line) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] == '#') break;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    out.push_back({line.substr(start, i - start), static_cast<int>(start) + 1});
  }
  return out;
}

// Calls f(lineNumber, line) for each line without its terminator ("\n" or "\r\n").
template <typename F>
bool forEachLine(std::string_view text, F&& f) {
  int number = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!f(++number, line)) return false;
    pos = end + 1;
  }
  return true;
}

bool parseFloat(std::string_view s, float& out) {
  if (s.empty() || s.size() > 64) return false;
  const std::string copy(s);
  char* end = nullptr;
  errno = 0;
  const float v = std::strtof(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(v)) return false;
  out = v;
  return true;
}

bool parseInt(std::string_view s, long& out) {
  if (s.empty() || s.size() > 12) return false;
  const std::string copy(s);
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(copy.c_str(), &end, 10);
  if (end != copy.c_str() + copy.size() || errno == ERANGE) return false;
  out = v;
  return true;
}

// One face corner as written, resolved to 0-based pool indices (-1: not given).
struct ObjCorner {
  long v = -1;
  long vt = -1;
  int line = 0;
  int column = 0;
};

}  // namespace

bool parseObj(std::string_view text, const std::string& file, PackMesh& out, SourceError& error) {
  error = SourceError{file, 0, 0, {}};
  std::vector<Vec3> vs;
  std::vector<Vec2> vts;
  std::vector<int> vLines;
  size_t vnCount = 0;
  std::vector<ObjCorner> triangles;  // three per triangle
  const auto fail = [&](int line, int column, std::string what) {
    error.line = line;
    error.column = column;
    error.what = std::move(what);
    return false;
  };
  // Resolves a 1-based or negative (relative) OBJ index against the count defined so far.
  const auto resolve = [](long raw, size_t count, long& out0) {
    if (raw > 0 && static_cast<size_t>(raw) <= count) out0 = raw - 1;
    else if (raw < 0 && static_cast<size_t>(-raw) <= count) out0 = static_cast<long>(count) + raw;
    else return false;
    return true;
  };

  const bool ok = forEachLine(text, [&](int ln, std::string_view line) {
    const auto tokens = tokenize(line);
    if (tokens.empty()) return true;
    const std::string_view key = tokens[0].text;
    if (key == "v" || key == "vn") {
      if (tokens.size() < 4)
        return fail(ln, tokens[0].column, std::string(key) + " needs three coordinates");
      float c[3];
      for (int k = 0; k < 3; ++k)
        if (!parseFloat(tokens[static_cast<size_t>(k) + 1].text, c[k]))
          return fail(ln, tokens[static_cast<size_t>(k) + 1].column,
                      "'" + std::string(tokens[static_cast<size_t>(k) + 1].text) + "' is not a finite number");
      if (key == "v") {
        vs.push_back({c[0], c[1], c[2]});
        vLines.push_back(ln);
      } else {
        ++vnCount;
      }
      return true;
    }
    if (key == "vt") {
      if (tokens.size() < 2) return fail(ln, tokens[0].column, "vt needs a coordinate");
      float c[2] = {0.0f, 0.0f};
      for (size_t k = 1; k < tokens.size() && k <= 2; ++k)
        if (!parseFloat(tokens[k].text, c[k - 1]))
          return fail(ln, tokens[k].column, "'" + std::string(tokens[k].text) + "' is not a finite number");
      vts.push_back({c[0], c[1]});
      return true;
    }
    if (key == "f") {
      if (tokens.size() < 4) return fail(ln, tokens[0].column, "a face needs at least three corners");
      std::vector<ObjCorner> poly;
      for (size_t k = 1; k < tokens.size(); ++k) {
        const std::string_view t = tokens[k].text;
        const int col = tokens[k].column;
        std::string_view parts[3];
        size_t n = 0, start = 0;
        for (size_t i = 0; i <= t.size(); ++i) {
          if (i == t.size() || t[i] == '/') {
            if (n == 3) return fail(ln, col, "a corner has at most three parts v/vt/vn");
            parts[n++] = t.substr(start, i - start);
            start = i + 1;
          }
        }
        ObjCorner c;
        c.line = ln;
        c.column = col;
        long raw;
        if (!parseInt(parts[0], raw) || !resolve(raw, vs.size(), c.v))
          return fail(ln, col, "position index '" + std::string(parts[0]) + "' does not name one of the " +
                                   std::to_string(vs.size()) + " positions defined so far");
        if (n >= 2 && !parts[1].empty()) {
          if (!parseInt(parts[1], raw) || !resolve(raw, vts.size(), c.vt))
            return fail(ln, col, "texture index '" + std::string(parts[1]) + "' does not name one of the " +
                                     std::to_string(vts.size()) + " texture coordinates defined so far");
        }
        if (n == 3) {
          long vn;
          if (!parseInt(parts[2], raw) || !resolve(raw, vnCount, vn))
            return fail(ln, col, "normal index '" + std::string(parts[2]) + "' does not name one of the " +
                                     std::to_string(vnCount) + " normals defined so far");
        }
        poly.push_back(c);
      }
      for (size_t k = 1; k + 1 < poly.size(); ++k) {
        triangles.push_back(poly[0]);
        triangles.push_back(poly[k]);
        triangles.push_back(poly[k + 1]);
      }
      return true;
    }
    static const std::set<std::string_view> kIgnored = {"o", "g", "s", "usemtl", "mtllib", "l", "p", "vp"};
    if (kIgnored.count(key)) return true;
    return fail(ln, tokens[0].column, "unknown statement '" + std::string(key) + "'");
  });
  if (!ok) return false;
  if (triangles.empty()) return fail(1, 1, "the file has no faces");

  out = PackMesh{};
  bool paired = vs.size() == vts.size();
  for (const ObjCorner& c : triangles)
    if (c.vt != c.v) paired = false;
  if (paired) {
    if (vs.size() > kPackMaxVertices)
      return fail(vLines[kPackMaxVertices], 1,
                  "more than " + std::to_string(kPackMaxVertices) + " vertices do not fit 16-bit indices");
    out.positions = vs;
    out.texCoords = vts;
    for (const ObjCorner& c : triangles) out.indices.push_back(static_cast<uint16_t>(c.v));
    return true;
  }
  std::map<std::pair<long, long>, uint32_t> ids;
  for (const ObjCorner& c : triangles) {
    const auto key = std::make_pair(c.v, c.vt);
    auto it = ids.find(key);
    if (it == ids.end()) {
      if (ids.size() >= kPackMaxVertices)
        return fail(c.line, c.column,
                    "this corner needs vertex " + std::to_string(kPackMaxVertices + 1) +
                        "; pack meshes have 16-bit indices");
      it = ids.emplace(key, static_cast<uint32_t>(ids.size())).first;
      out.positions.push_back(vs[static_cast<size_t>(c.v)]);
      out.texCoords.push_back(c.vt >= 0 ? vts[static_cast<size_t>(c.vt)] : Vec2{});
    }
    out.indices.push_back(static_cast<uint16_t>(it->second));
  }
  return true;
}

bool readTgaImage(std::span<const uint8_t> bytes, const std::string& file,
                  std::vector<uint8_t>& entry, std::string& error) {
  const auto fail = [&](size_t offset, const std::string& what) {
    error = file + ": offset " + std::to_string(offset) + ": error: " + what;
    return false;
  };
  if (bytes.size() < 18) return fail(bytes.size(), "a TGA header needs 18 bytes");
  if (bytes[0] != 0) return fail(0, "the image has an ID field; the pack needs ID length 0");
  if (bytes[1] != 0) return fail(1, "the image has a colour map; the pack needs none");
  if (bytes[2] != 2) return fail(2, "image type " + std::to_string(bytes[2]) + ": the pack needs uncompressed true colour (2)");
  const int width = bytes[12] | bytes[13] << 8;
  const int height = bytes[14] | bytes[15] << 8;
  if (width < 1 || width > kMaxPackImageEdge) return fail(12, "width " + std::to_string(width) + " is outside 1 to 512");
  if (height < 1 || height > kMaxPackImageEdge) return fail(14, "height " + std::to_string(height) + " is outside 1 to 512");
  if (bytes[16] != 32) return fail(16, std::to_string(bytes[16]) + " bits per pixel: the pack needs 32");
  const size_t need = 18 + static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  if (bytes.size() < need)
    return fail(bytes.size(), "pixel data ends early: " + std::to_string(width) + "x" + std::to_string(height) +
                                  " needs " + std::to_string(need) + " bytes");
  entry.assign(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(need));
  return true;
}

bool parseManifest(std::string_view text, const std::string& file, std::vector<ManifestEntry>& out,
                   SourceError& error) {
  error = SourceError{file, 0, 0, {}};
  out.clear();
  std::set<std::string> names;
  return forEachLine(text, [&](int ln, std::string_view line) {
    const auto tokens = tokenize(line);
    if (tokens.empty()) return true;
    const auto fail = [&](int column, std::string what) {
      error.line = ln;
      error.column = column;
      error.what = std::move(what);
      return false;
    };
    ManifestEntry e;
    if (tokens[0].text == "mesh") e.kind = ManifestEntry::Kind::Mesh;
    else if (tokens[0].text == "image") e.kind = ManifestEntry::Kind::Image;
    else return fail(tokens[0].column, "expected 'mesh' or 'image', found '" + std::string(tokens[0].text) + "'");
    if (tokens.size() != 3) return fail(tokens[0].column, "expected: " + std::string(tokens[0].text) + " NAME FILE");
    e.name = tokens[1].text;
    if (e.name.size() >= kMaxNameBytes) return fail(tokens[1].column, "an entry name has at most 511 bytes");
    if (!names.insert(e.name).second) return fail(tokens[1].column, "entry '" + e.name + "' is already in the pack");
    e.file = tokens[2].text;
    e.line = ln;
    e.fileColumn = tokens[2].column;
    out.push_back(e);
    return true;
  });
}

std::string writeObj(const MeshObject& mesh, const std::string& comment) {
  std::string s;
  s.reserve(64 + mesh.corners.size() * 24 + mesh.positions.size() * 40);
  if (!comment.empty()) s += "# " + comment + "\n";
  char buf[128];
  for (const Vec3& p : mesh.positions) {
    std::snprintf(buf, sizeof buf, "v %.9g %.9g %.9g\n", static_cast<double>(p.x), static_cast<double>(p.y),
                  static_cast<double>(p.z));
    s += buf;
  }
  for (const Vec2& t : mesh.texCoords) {
    std::snprintf(buf, sizeof buf, "vt %.9g %.9g\n", static_cast<double>(t.u), static_cast<double>(t.v));
    s += buf;
  }
  for (const Vec3& n : mesh.normals) {
    std::snprintf(buf, sizeof buf, "vn %.9g %.9g %.9g\n", static_cast<double>(n.x), static_cast<double>(n.y),
                  static_cast<double>(n.z));
    s += buf;
  }
  for (size_t t = 0; t + 2 < mesh.corners.size(); t += 3) {
    s += "f";
    for (size_t k = 0; k < 3; ++k) {
      const Corner& c = mesh.corners[t + k];
      std::snprintf(buf, sizeof buf, " %u/%u/%u", c.position + 1, c.texCoord + 1, c.normal + 1);
      s += buf;
    }
    s += "\n";
  }
  return s;
}

}  // namespace glimmer
