// Scene source compiler and decompiler.
//
// Index: name tables · lexer · compiler (two passes: entities and labels, then values) ·
// decompiler · input loading.
#include "tools/compile/compile.h"

#include "scene/opcodes.h"
#include "texgen/texgen.h"
#include "tools/compile/cp1251.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace glimmerc {

using glimmer::Category;
using glimmer::kParamCount;

namespace {

// ---------------------------------------------------------------------------------------------
// Name tables: the shared command tables of scene/opcodes.h.

using glimmer::OpcodeDef;
using glimmer::findOpcode;
using glimmer::opcodeTable;

// The category words, the blend and edge mode names and the key type names, by value.
const char* categoryWordOf(int c) { return glimmer::categoryWord(static_cast<Category>(c)); }
const char* edgeModeName(int e) { return glimmer::valueName(glimmer::edgeModes(), e); }
const char* keyTypeName(int k) { return glimmer::valueName(glimmer::keyTypes(), k); }

// ---------------------------------------------------------------------------------------------
// Lexer: one line at a time into tokens with their columns.

struct Token {
  enum Kind { Word, String } kind = Word;
  std::string text;  // a word as written; a string's decoded bytes
  int col = 0;
};

struct SourceError {
  int line = 0;
  int col = 0;
  std::string what;
};

bool tokenize(const std::string& line, int lineNo, std::vector<Token>& tokens, std::string& comment,
              SourceError& err) {
  tokens.clear();
  comment.clear();
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') {
      // A '#' at the start of a token starts a comment.
      size_t s = i + 1;
      while (s < line.size() && (line[s] == ' ' || line[s] == '\t')) ++s;
      comment = line.substr(s);
      while (!comment.empty() && (comment.back() == ' ' || comment.back() == '\r')) comment.pop_back();
      return true;
    }
    Token t;
    t.col = static_cast<int>(i) + 1;
    if (c == '"') {
      t.kind = Token::String;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const unsigned char ch = static_cast<unsigned char>(line[i]);
        if (ch == '"') {
          closed = true;
          ++i;
          break;
        }
        if (ch == '\\') {
          if (i + 1 >= line.size()) break;
          const char e = line[i + 1];
          if (e == '"' || e == '\\') {
            t.text.push_back(e);
            i += 2;
          } else if (e == 'n') {
            t.text.push_back('\n');
            i += 2;
          } else if (e == 'x' && i + 3 < line.size() + 0 &&
                     std::isxdigit(static_cast<unsigned char>(line[i + 2])) &&
                     std::isxdigit(static_cast<unsigned char>(line[i + 3]))) {
            t.text.push_back(static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16)));
            i += 4;
          } else {
            err = {lineNo, static_cast<int>(i) + 1, "unknown escape in string (expected \\\", \\\\, \\n or \\xNN)"};
            return false;
          }
          continue;
        }
        if (ch < 0x80) {
          t.text.push_back(static_cast<char>(ch));
          ++i;
          continue;
        }
        // One UTF-8 character, converted to its Windows-1251 byte.
        size_t n = (ch >= 0xF0) ? 4 : (ch >= 0xE0) ? 3 : (ch >= 0xC0) ? 2 : 1;
        if (i + n > line.size() || !utf8ToCp1251(line.substr(i, n), t.text)) {
          err = {lineNo, static_cast<int>(i) + 1,
                 "character has no Windows-1251 byte (write it as \\xNN)"};
          return false;
        }
        i += n;
      }
      if (!closed) {
        err = {lineNo, t.col, "string is not closed with '\"'"};
        return false;
      }
    } else {
      // A word ends at white space or a quote.
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '"') {
        t.text.push_back(line[i]);
        ++i;
      }
    }
    tokens.push_back(std::move(t));
  }
  return true;
}

bool parseFloat(const std::string& s, float& v) {
  if (s.size() == 13 && s.starts_with("bits:")) {
    uint32_t bits = 0;
    auto r = std::from_chars(s.data() + 5, s.data() + s.size(), bits, 16);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
    std::memcpy(&v, &bits, 4);
    return true;
  }
  const char* b = s.data();
  const char* e = s.data() + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, v);
  return r.ec == std::errc() && r.ptr == e;
}

bool parseUnsigned(const std::string& s, uint32_t& v) {
  int base = 10;
  const char* b = s.data();
  const char* e = s.data() + s.size();
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    b += 2;
  }
  auto r = std::from_chars(b, e, v, base);
  return r.ec == std::errc() && r.ptr == e && b != e;
}

std::string formatFloat(float v) {
  if (!std::isfinite(v)) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    char buf[24];
    std::snprintf(buf, sizeof buf, "bits:%08x", bits);
    return buf;
  }
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::string quote(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    }
  }
  out.push_back('"');
  return out;
}

// ---------------------------------------------------------------------------------------------
// Compiler

class Compiler {
 public:
  // A label use, recorded by position so that later growth of the vectors cannot invalidate it.
  struct LabelUse {
    int category = 0, entity = 0;
    char list = 'A';
    int track = 0, key = -1, index = 0;  // key -1: the track's params
    int opcode = 0;
    std::string label;
    int line = 0, col = 0;
  };


  Compiler(const std::string& file, glimmer::SceneStream& out, SourceInfo* info,
           std::vector<std::string>* warnings)
      : file_(file), out_(out), info_(info), warnings_(warnings) {}

  bool run(const std::string& text, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    std::vector<Token> tokens;
    std::string comment, lastComment;
    SourceError err;
    bool ok = true;
    while (ok && std::getline(in, line)) {
      ++lineNo;
      if (!tokenize(line, lineNo, tokens, comment, err)) {
        ok = false;
        break;
      }
      if (tokens.empty()) {
        lastComment = comment;  // a comment line names the entity that follows it
        continue;
      }
      ok = statement(tokens, lineNo, comment, lastComment, err);
      lastComment.clear();
    }
    if (ok) ok = resolveLabels(err);
    if (ok) ok = checkLimits(err);
    if (ok && out_.categories[static_cast<size_t>(Category::Timeline)].empty())
      warn(1, 1, "no timeline: nothing is drawn (add 'timeline 0 178' with an animated 'A SetScene scene=@NAME')");
    if (!ok) {
      error = file_ + ":" + std::to_string(err.line) + ":" + std::to_string(err.col) + ": error: " + err.what;
      return false;
    }
    return true;
  }

 private:
  bool fail(SourceError& err, int line, int col, std::string what) {
    err = {line, col, std::move(what)};
    return false;
  }

  // Something the compiler accepts that is almost surely a mistake.
  void warn(int line, int col, const std::string& what) {
    if (warnings_)
      warnings_->push_back(file_ + ":" + std::to_string(line) + ":" + std::to_string(col) + ": warning: " + what);
  }

  // The category an entity-index parameter names (its unit says texture, mesh or scene), -1 for
  // other parameters.
  static int referredCategory(const glimmer::ParamDef* p) {
    if (!p || !p->unit) return -1;
    const std::string_view unit = p->unit;
    if (unit.starts_with("texture")) return static_cast<int>(Category::Texture);
    if (unit.starts_with("mesh")) return static_cast<int>(Category::Mesh);
    if (unit.starts_with("scene")) return static_cast<int>(Category::Scene);
    return -1;
  }

  bool statement(const std::vector<Token>& t, int line, const std::string& comment,
                 const std::string& lastComment, SourceError& err) {
    const std::string& w = t[0].text;
    if (t[0].kind != Token::Word) return fail(err, line, t[0].col, "expected a category, a track or a key");
    for (int c = 0; c < glimmer::kCategoryCount; ++c)
      if (w == categoryWordOf(c)) return entity(static_cast<Category>(c), t, line, comment, lastComment, err);
    if (w == "A" || w == "B") return track(t, line, err);
    if (w == "key") return key(t, line, err);
    if (w == "trailing") return trailing(t, line, err);
    return fail(err, line, t[0].col,
                "expected a category (texture, mesh, light, scene, timeline, particles), a track "
                "(A or B), 'key' or 'trailing', found '" + w + "'");
  }

  bool entity(Category c, const std::vector<Token>& t, int line, const std::string& comment,
              const std::string& lastComment, SourceError& err) {
    if (sawTrailing_) return fail(err, line, t[0].col, "nothing may follow 'trailing'");
    size_t i = 1;
    EntityInfo ei;
    ei.line = line;
    if (i < t.size() && t[i].kind == Token::Word && t[i].text.starts_with("@")) {
      ei.label = t[i].text.substr(1);
      if (ei.label.empty()) return fail(err, line, t[i].col, "expected a label name after '@'");
      if (labels_.count(ei.label))
        return fail(err, line, t[i].col, "label '@" + ei.label + "' is already defined on line " +
                                             std::to_string(labelLines_[ei.label]));
      ++i;
    }
    if (t.size() - i != 2)
      return fail(err, line, i < t.size() ? t[i].col : static_cast<int>(t.back().col + t.back().text.size()),
                  "expected the start and end time after the category");
    glimmer::EntityRecord r;
    for (float* f : {&r.startTime, &r.endTime}) {
      if (t[i].kind != Token::Word || !parseFloat(t[i].text, *f))
        return fail(err, line, t[i].col, "expected a time in seconds, found '" + t[i].text + "'");
      ++i;
    }
    auto& list = out_.categories[static_cast<size_t>(c)];
    if (!ei.label.empty()) {
      labels_[ei.label] = static_cast<int>(list.size());
      labelLines_[ei.label] = line;
      labelCategories_[ei.label] = static_cast<int>(c);
    }
    ei.displayName = !ei.label.empty() ? ei.label : !comment.empty() ? comment : lastComment;
    list.push_back(std::move(r));
    counts_[static_cast<size_t>(c)].push_back(line);
    if (info_) info_->entities[static_cast<size_t>(c)].push_back(ei);
    cat_ = c;
    entity_ = &list.back();
    track_ = nullptr;
    return true;
  }

  // name=value or pN=value into values; returns false with err set.
  bool assign(Category c, int opcode, const Token& tok, std::array<float, kParamCount>& values,
              LabelUse where, int line, SourceError& err) {
    const size_t eq = tok.text.find('=');
    const std::string name = tok.text.substr(0, eq);
    const std::string value = tok.text.substr(eq + 1);
    int index = -1;
    if (name.size() >= 2 && name[0] == 'p' && std::isdigit(static_cast<unsigned char>(name[1]))) {
      uint32_t n;
      if (parseUnsigned(name.substr(1), n) && n < kParamCount) index = static_cast<int>(n);
    }
    if (index < 0)
      for (int k = 0; k < kParamCount; ++k) {
        const char* pn = paramName(c, opcode, k);
        if (pn && name == pn) index = k;
      }
    if (index < 0) {
      std::string known;
      for (int k = 0; k < kParamCount; ++k)
        if (const char* pn = paramName(c, opcode, k)) known += std::string(known.empty() ? "" : ", ") + pn;
      return fail(err, line, tok.col,
                  "unknown parameter '" + name + "' (expected " + (known.empty() ? "" : known + " or ") + "p0 to p11)");
    }
    const int vcol = tok.col + static_cast<int>(eq) + 1;
    if (value.starts_with("@")) {
      values[static_cast<size_t>(index)] = 0.0f;
      where.index = index;
      where.label = value.substr(1);
      where.line = line;
      where.col = vcol;
      if (where.label.empty()) return fail(err, line, vcol, "expected a label name after '@'");
      labelUses_.push_back(std::move(where));
      return true;
    }
    if (!parseFloat(value, values[static_cast<size_t>(index)]))
      return fail(err, line, vcol, "expected a number, an @label or bits:XXXXXXXX for '" + name + "', found '" + value + "'");
    const OpcodeDef* d = findOpcode(c, opcode);
    const glimmer::ParamDef* p = d ? d->param(index) : nullptr;
    const float x = values[static_cast<size_t>(index)];
    if (p && p->bounded() && !value.starts_with("bits:") && (x < p->min || x > p->max)) {
      char buf[96];
      std::snprintf(buf, sizeof buf, " is outside %g to %g", static_cast<double>(p->min), static_cast<double>(p->max));
      warn(line, vcol, std::string(d->name) + " " + p->name + " " + value + buf + " (" + p->unit + ")");
    }
    return true;
  }

  bool track(const std::vector<Token>& t, int line, SourceError& err) {
    if (!entity_) return fail(err, line, t[0].col, "a track must follow a category line");
    if (t.size() < 2 || t[1].kind != Token::Word) return fail(err, line, t[0].col + 2, "expected an opcode name after the list letter");
    glimmer::TrackRecord tr;
    tr.word = glimmer::kEnabledBit;
    const std::string& op = t[1].text;
    int opcode = -1;
    if (const OpcodeDef* d = findOpcode(cat_, op)) opcode = d->opcode;
    if (opcode < 0 && op.starts_with("Op")) {
      uint32_t n;
      if (parseUnsigned(op.substr(2), n) && n < 256) opcode = static_cast<int>(n);
    }
    if (opcode < 0) {
      std::string known;
      for (const OpcodeDef& d : opcodeTable(cat_)) known += std::string(known.empty() ? "" : ", ") + d.name;
      return fail(err, line, t[1].col, "unknown " + std::string(categoryWordOf(static_cast<int>(cat_))) +
                                           " opcode '" + op + "' (expected one of " + known + ", or OpN)");
    }
    tr.word |= static_cast<uint32_t>(opcode);
    auto& list = t[0].text == "A" ? entity_->tracksA : entity_->tracksB;
    LabelUse where;
    where.category = static_cast<int>(cat_);
    where.entity = static_cast<int>(out_.categories[static_cast<size_t>(cat_)].size()) - 1;
    where.list = t[0].text[0];
    where.track = static_cast<int>(list.size());
    where.opcode = opcode;
    where.key = -1;
    bool haveName = false;
    for (size_t i = 2; i < t.size(); ++i) {
      const Token& tok = t[i];
      if (tok.kind == Token::String) {
        if (haveName) return fail(err, line, tok.col, "a track has at most one string");
        haveName = true;
        tr.name = tok.text;
        if (tr.name.find('\0') != std::string::npos)
          return fail(err, line, tok.col, "a string may not contain a zero byte");
        if (tr.name.size() >= glimmer::kMaxNameBytes)
          return fail(err, line, tok.col, "string is " + std::to_string(tr.name.size()) + " bytes; at most 511 fit");
        continue;
      }
      const std::string& w = tok.text;
      const size_t eq = w.find('=');
      const std::string k = w.substr(0, eq);
      const std::string v = eq == std::string::npos ? "" : w.substr(eq + 1);
      uint32_t n;
      if (w == "disabled") {
        tr.word &= ~glimmer::kEnabledBit;
      } else if (w == "animated") {
        tr.word |= glimmer::kAnimatedBit;
      } else if (k == "rawname" && eq != std::string::npos) {
        if (i + 1 >= t.size() || t[i + 1].kind != Token::String)
          return fail(err, line, tok.col, "expected a string after 'rawname='");
        tr.nameUnterminated = true;
        tr.rawName = t[i + 1].text;
        if (tr.rawName.size() != glimmer::kMaxNameBytes)
          return fail(err, line, t[i + 1].col, "a raw name holds exactly 512 bytes");
        ++i;
      } else if (k == "operands" && eq != std::string::npos) {
        if (!parseUnsigned(v, n) || n > 0x3FFF)
          return fail(err, line, tok.col, "operands must be a number from 0 to 0x3fff");
        tr.word = (tr.word & ~0x003FFF00u) | (n << 8);
      } else if (k == "high" && eq != std::string::npos) {
        if (!parseUnsigned(v, n) || n > 0xFF) return fail(err, line, tok.col, "high must be a number from 0 to 0xff");
        tr.word = (tr.word & 0x00FFFFFFu) | (n << 24);
      } else if (cat_ == Category::Texture && k == "mode" && eq != std::string::npos) {
        int mode = glimmer::valueOf(glimmer::blendModes(), v);
        if (mode < 0 && parseUnsigned(v, n) && n < 256) mode = static_cast<int>(n);
        if (mode < 0) {
          std::string known;
          for (const glimmer::NamedValue& m : glimmer::blendModes()) known += std::string(m.name) + ", ";
          return fail(err, line, tok.col + 5, "unknown blend mode '" + v + "' (expected " + known + "or 0-255)");
        }
        tr.word = (tr.word & ~0x0000FF00u) | (static_cast<uint32_t>(mode) << 8);
      } else if (cat_ == Category::Texture && w == "smooth") {
        tr.word |= 1u << 16;
      } else if (cat_ == Category::Texture && k == "edge" && eq != std::string::npos) {
        const int e = glimmer::valueOf(glimmer::edgeModes(), v);
        if (e < 0) return fail(err, line, tok.col + 5, "unknown edge mode '" + v + "' (expected wrap, clamp, mirror or transparent)");
        tr.word = (tr.word & ~(3u << 17)) | (static_cast<uint32_t>(e) << 17);
      } else if (cat_ == Category::Texture && k == "spare" && eq != std::string::npos) {
        if (!parseUnsigned(v, n) || n > 7) return fail(err, line, tok.col, "spare must be a number from 0 to 7");
        tr.word = (tr.word & ~(7u << 19)) | (n << 19);
      } else if (eq != std::string::npos) {
        if (!assign(cat_, opcode, tok, tr.params, where, line, err)) return false;
      } else {
        return fail(err, line, tok.col, "expected name=value, a flag (disabled, animated) or a string, found '" + w + "'");
      }
    }
    if (list.size() == glimmer::kMaxTracksPerList)
      return fail(err, line, t[0].col, "an entity's list holds at most 255 tracks");
    if (const OpcodeDef* d = findOpcode(cat_, opcode); d && d->list != t[0].text[0])
      warn(line, t[0].col, std::string(d->name) + " belongs in list " + d->list + ", where " +
                               categoryWordOf(static_cast<int>(cat_)) + " entities apply it");
    else if (t[0].text[0] == 'B' && (tr.word & glimmer::kAnimatedBit))
      warn(line, t[1].col, "tracks of list B are applied once at start-up and never animated");
    list.push_back(std::move(tr));
    track_ = &list.back();
    trackWhere_ = where;
    return semanticChecks(*track_, line, t[1].col, err);
  }

  // Values that must be sane for the operators to run safely: the texture generator's own rule,
  // so a disabled layer command or the keys of a track that is not animated pass as they load.
  bool semanticChecks(const glimmer::TrackRecord& tr, int line, int col, SourceError& err) {
    if (cat_ != Category::Texture) return true;
    const std::string why = glimmer::textureCommandProblem(tr);
    return why.empty() || fail(err, line, col, why);
  }

  bool key(const std::vector<Token>& t, int line, SourceError& err) {
    if (!track_) return fail(err, line, t[0].col, "a key must follow a track line");
    if (t.size() < 3) return fail(err, line, t[0].col, "expected 'key TIME TYPE values…'");
    glimmer::KeyRecord k;
    if (t[1].kind != Token::Word || !parseFloat(t[1].text, k.time))
      return fail(err, line, t[1].col, "expected the key's time in seconds, found '" + t[1].text + "'");
    int type = glimmer::valueOf(glimmer::keyTypes(), t[2].text);
    uint32_t n;
    if (type < 0 && t[2].text.starts_with("type=") && parseUnsigned(t[2].text.substr(5), n) && n < 256)
      type = static_cast<int>(n);
    if (type < 0) return fail(err, line, t[2].col, "expected the key type: hold, flat, smooth or type=N");
    k.type = static_cast<uint8_t>(type);
    const int opcode = track_->word & 0xFF;
    if (track_->keys.size() == glimmer::kMaxKeysPerTrack)
      return fail(err, line, t[0].col, "a track holds at most 255 keys");
    if (track_->keys.empty() && !(track_->word & glimmer::kAnimatedBit))
      warn(line, t[0].col, "keys on a track without 'animated' are never evaluated");
    if (!track_->keys.empty() && k.time < track_->keys.back().time)
      warn(line, t[1].col, "key at " + t[1].text + " s is earlier than the key before it; keys are used in the order written");
    track_->keys.push_back(k);
    auto& values = track_->keys.back().values;
    LabelUse where = trackWhere_;
    where.key = static_cast<int>(track_->keys.size()) - 1;
    for (size_t i = 3; i < t.size(); ++i) {
      if (t[i].kind != Token::Word || t[i].text.find('=') == std::string::npos)
        return fail(err, line, t[i].col, "expected name=value");
      if (!assign(cat_, opcode, t[i], values, where, line, err)) return false;
    }
    return semanticChecks(*track_, line, t[0].col, err);
  }

  bool trailing(const std::vector<Token>& t, int line, SourceError& err) {
    sawTrailing_ = true;
    for (size_t i = 1; i < t.size(); ++i) {
      uint32_t n;
      const std::string& w = t[i].text;
      auto r = std::from_chars(w.data(), w.data() + w.size(), n, 16);
      if (w.size() != 2 || r.ec != std::errc() || r.ptr != w.data() + 2)
        return fail(err, line, t[i].col, "expected a byte as two hex digits");
      out_.trailing.push_back(static_cast<uint8_t>(n));
    }
    return true;
  }

  bool resolveLabels(SourceError& err) {
    for (const auto& p : labelUses_) {
      auto it = labels_.find(p.label);
      if (it == labels_.end()) return fail(err, p.line, p.col, "unknown label '@" + p.label + "'");
      *slotOf(p) = static_cast<float>(it->second);
      const OpcodeDef* d = findOpcode(static_cast<Category>(p.category), p.opcode);
      const int wanted = referredCategory(d ? d->param(p.index) : nullptr);
      const int found = labelCategories_[p.label];
      if (wanted >= 0 && wanted != found)
        warn(p.line, p.col, "'@" + p.label + "' is a " + categoryWordOf(found) + " but " + d->name + " " +
                                d->param(p.index)->name + " takes a " + categoryWordOf(wanted) + " index");
    }
    return true;
  }

  bool checkLimits(SourceError& err) {
    for (int c = 0; c < glimmer::kCategoryCount; ++c) {
      const auto& lines = counts_[static_cast<size_t>(c)];
      if (lines.size() > glimmer::kMaxRecordsPerCategory)
        return fail(err, lines[glimmer::kMaxRecordsPerCategory], 1,
                    std::string("at most 255 ") + categoryWordOf(c) + " entities fit in one stream");
    }
    return true;
  }

  float* slotOf(const LabelUse& u) {
    auto& e = out_.categories[static_cast<size_t>(u.category)][static_cast<size_t>(u.entity)];
    auto& tr = (u.list == 'A' ? e.tracksA : e.tracksB)[static_cast<size_t>(u.track)];
    return u.key < 0 ? &tr.params[static_cast<size_t>(u.index)]
                     : &tr.keys[static_cast<size_t>(u.key)].values[static_cast<size_t>(u.index)];
  }

 private:
  std::string file_;
  glimmer::SceneStream& out_;
  SourceInfo* info_;
  std::vector<std::string>* warnings_;
  Category cat_ = Category::Texture;
  glimmer::EntityRecord* entity_ = nullptr;
  glimmer::TrackRecord* track_ = nullptr;
  LabelUse trackWhere_;
  bool sawTrailing_ = false;
  std::map<std::string, int> labels_;
  std::map<std::string, int> labelLines_;
  std::map<std::string, int> labelCategories_;
  std::array<std::vector<int>, glimmer::kCategoryCount> counts_;
  std::vector<LabelUse> labelUses_;
};

}  // namespace

const char* opcodeName(Category c, int opcode) {
  const OpcodeDef* d = findOpcode(c, opcode);
  return d ? d->name : nullptr;
}

const char* paramName(Category c, int opcode, int index) {
  const OpcodeDef* d = findOpcode(c, opcode);
  const glimmer::ParamDef* p = d ? d->param(index) : nullptr;
  return p ? p->name : nullptr;
}

const char* blendModeName(int mode) { return glimmer::valueName(glimmer::blendModes(), mode); }

bool compileSceneSource(const std::string& text, const std::string& file, glimmer::SceneStream& out,
                        std::string& error, SourceInfo* info, std::vector<std::string>* warnings) {
  out = glimmer::SceneStream{};
  if (info) *info = SourceInfo{};
  Compiler c(file, out, info, warnings);
  return c.run(text, error);
}

namespace {

void writeValues(std::ostringstream& o, Category c, int opcode, const std::array<float, kParamCount>& v) {
  for (int k = 0; k < kParamCount; ++k) {
    const float x = v[static_cast<size_t>(k)];
    uint32_t bits;
    std::memcpy(&bits, &x, 4);
    if (bits == 0) continue;  // +0.0 is the default; -0.0 is written
    const char* pn = paramName(c, opcode, k);
    o << ' ' << (pn ? pn : "p" + std::to_string(k)) << '=' << formatFloat(x);
  }
}

void writeTrack(std::ostringstream& o, Category c, char list, const glimmer::TrackRecord& t) {
  const int opcode = static_cast<int>(t.word & 0xFF);
  const char* on = opcodeName(c, opcode);
  o << "  " << list << ' ' << (on ? std::string(on) : "Op" + std::to_string(opcode));
  if (t.nameUnterminated) o << " rawname=" << quote(t.rawName);
  else if (!t.name.empty()) o << ' ' << quote(t.name);
  writeValues(o, c, opcode, t.params);
  if (c == Category::Texture) {
    const int mode = static_cast<int>((t.word >> 8) & 0xFF);
    if (mode != 0) o << " mode=" << (blendModeName(mode) ? blendModeName(mode) : std::to_string(mode));
    if (t.word & (1u << 16)) o << " smooth";
    const int edge = static_cast<int>((t.word >> 17) & 3);
    if (edge != 0) o << " edge=" << edgeModeName(edge);
    const int spare = static_cast<int>((t.word >> 19) & 7);
    if (spare != 0) o << " spare=" << spare;
  } else {
    const uint32_t operands = (t.word >> 8) & 0x3FFF;
    if (operands != 0) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "0x%x", operands);
      o << " operands=" << buf;
    }
  }
  if (!(t.word & glimmer::kEnabledBit)) o << " disabled";
  if (t.word & glimmer::kAnimatedBit) o << " animated";
  if (t.word >> 24) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", t.word >> 24);
    o << " high=" << buf;
  }
  o << '\n';
  for (const glimmer::KeyRecord& k : t.keys) {
    o << "    key " << formatFloat(k.time) << ' '
      << (keyTypeName(k.type) ? std::string(keyTypeName(k.type)) : "type=" + std::to_string(k.type));
    writeValues(o, c, opcode, k.values);
    o << '\n';
  }
}

}  // namespace

std::string decompileScene(const glimmer::SceneStream& stream) {
  std::ostringstream o;
  o << "# glimmer scene source\n";
  for (int c = 0; c < glimmer::kCategoryCount; ++c) {
    const auto cat = static_cast<Category>(c);
    int index = 0;
    for (const glimmer::EntityRecord& e : stream.categories[static_cast<size_t>(c)]) {
      o << '\n' << categoryWordOf(c) << ' ' << formatFloat(e.startTime) << ' ' << formatFloat(e.endTime)
        << "  # " << categoryWordOf(c) << ' ' << index++ << '\n';
      for (const auto& t : e.tracksA) writeTrack(o, cat, 'A', t);
      for (const auto& t : e.tracksB) writeTrack(o, cat, 'B', t);
    }
  }
  if (!stream.trailing.empty()) {
    o << "\ntrailing";
    for (uint8_t b : stream.trailing) {
      char buf[4];
      std::snprintf(buf, sizeof buf, " %02x", b);
      o << buf;
    }
    o << '\n';
  }
  return o.str();
}

bool looksCompiled(std::string_view bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) return true;
  }
  return false;
}

bool loadSceneInput(const std::string& path, glimmer::SceneStream& out, std::string& error,
                    SourceInfo* info) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    error = path + ": error: cannot open file";
    return false;
  }
  std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (!looksCompiled(bytes)) return compileSceneSource(bytes, path, out, error, info);
  glimmer::SceneError err;
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  if (!glimmer::parseSceneStream({data, bytes.size()}, path, out, err)) {
    error = err.message();
    return false;
  }
  if (info) {
    *info = SourceInfo{};
    for (int c = 0; c < glimmer::kCategoryCount; ++c)
      info->entities[static_cast<size_t>(c)].resize(out.categories[static_cast<size_t>(c)].size());
  }
  return true;
}

}  // namespace glimmerc
