// Reader and writer of the SceneData byte stream. The reader is bounded by the size of the
// bytes it is given: a field that runs past the end stops it with an error naming where.
#include <cstring>
#include <sstream>

#include "scene/scene.h"

namespace glimmer {

std::string SceneError::message() const {
  std::ostringstream s;
  s << file << ": offset " << offset << ": error: " << what;
  if (category >= 0) {
    s << " (" << categoryName(static_cast<Category>(category));
    if (entity >= 0) s << " " << entity;
    if (track >= 0) s << ", track " << list << track;
    if (key >= 0) s << ", key " << key;
    s << ")";
  }
  return s.str();
}

namespace {

class Cursor {
 public:
  Cursor(std::span<const uint8_t> bytes, SceneError& error) : bytes_(bytes), error_(error) {}

  bool read(void* dst, size_t n, const char* field) {
    if (n > bytes_.size() - pos_) {
      error_.offset = pos_;
      error_.what = std::string("stream ends inside ") + field + " (" + std::to_string(n) +
                    " bytes needed, " + std::to_string(bytes_.size() - pos_) + " left)";
      return false;
    }
    std::memcpy(dst, bytes_.data() + pos_, n);
    pos_ += n;
    return true;
  }
  bool u8(uint8_t& v, const char* field) { return read(&v, 1, field); }
  bool u32(uint32_t& v, const char* field) {
    uint8_t b[4];
    if (!read(b, 4, field)) return false;
    v = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    return true;
  }
  bool f32(float& v, const char* field) {
    uint32_t u;
    if (!u32(u, field)) return false;
    std::memcpy(&v, &u, 4);
    return true;
  }
  bool floats(std::array<float, kParamCount>& v, const char* field) {
    for (float& f : v)
      if (!f32(f, field)) return false;
    return true;
  }
  // A zero-terminated name of at most 512 bytes; 512 bytes without a terminator drop the name.
  bool name(TrackRecord& t) {
    const size_t start = pos_;
    std::string s;
    for (size_t i = 0; i < kMaxNameBytes; ++i) {
      uint8_t c;
      if (!u8(c, "track name")) {
        error_.offset = start;
        error_.what = "stream ends inside a track name (no terminating zero byte)";
        return false;
      }
      if (c == 0) {
        t.name = std::move(s);
        return true;
      }
      s.push_back(static_cast<char>(c));
    }
    t.nameUnterminated = true;
    t.rawName = std::move(s);
    return true;
  }
  size_t pos() const { return pos_; }
  std::span<const uint8_t> rest() const { return bytes_.subspan(pos_); }

 private:
  std::span<const uint8_t> bytes_;
  SceneError& error_;
  size_t pos_ = 0;
};

bool parseTrack(Cursor& cur, TrackRecord& t, SceneError& err) {
  if (!cur.name(t)) return false;
  if (!cur.u32(t.word, "command word")) return false;
  if (!cur.floats(t.params, "command parameters")) return false;
  uint8_t keyCount;
  if (!cur.u8(keyCount, "key count")) return false;
  t.keys.resize(keyCount);
  for (int k = 0; k < keyCount; ++k) {
    err.key = k;
    KeyRecord& key = t.keys[static_cast<size_t>(k)];
    if (!cur.f32(key.time, "key time") || !cur.u8(key.type, "key type") ||
        !cur.floats(key.values, "key values"))
      return false;
  }
  err.key = -1;
  return true;
}

bool parseList(Cursor& cur, std::vector<TrackRecord>& list, char which, SceneError& err) {
  uint8_t count;
  if (!cur.u8(count, which == 'A' ? "track count of list A" : "track count of list B")) return false;
  list.resize(count);
  err.list = which;
  for (int i = 0; i < count; ++i) {
    err.track = i;
    if (!parseTrack(cur, list[static_cast<size_t>(i)], err)) return false;
  }
  err.track = -1;
  return true;
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void putF32(std::vector<uint8_t>& out, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  putU32(out, u);
}

void writeTrack(std::vector<uint8_t>& out, const TrackRecord& t) {
  if (t.nameUnterminated) {
    std::string raw = t.rawName;
    raw.resize(kMaxNameBytes, 'x');
    out.insert(out.end(), raw.begin(), raw.end());
  } else {
    out.insert(out.end(), t.name.begin(), t.name.end());
    out.push_back(0);
  }
  putU32(out, t.word);
  for (float p : t.params) putF32(out, p);
  out.push_back(static_cast<uint8_t>(t.keys.size()));
  for (const KeyRecord& k : t.keys) {
    putF32(out, k.time);
    out.push_back(k.type);
    for (float v : k.values) putF32(out, v);
  }
}

}  // namespace

bool parseSceneStream(std::span<const uint8_t> bytes, const std::string& file, SceneStream& out,
                      SceneError& err) {
  err = SceneError{};
  err.file = file;
  out = SceneStream{};
  Cursor cur(bytes, err);
  for (int c = 0; c < kCategoryCount; ++c) {
    err.category = c;
    err.entity = -1;
    uint8_t count;
    if (!cur.u8(count, "entity count")) return false;
    auto& records = out.categories[static_cast<size_t>(c)];
    records.resize(count);
    for (int e = 0; e < count; ++e) {
      err.entity = e;
      EntityRecord& r = records[static_cast<size_t>(e)];
      if (!cur.f32(r.startTime, "start time") || !cur.f32(r.endTime, "end time")) return false;
      if (!parseList(cur, r.tracksA, 'A', err) || !parseList(cur, r.tracksB, 'B', err)) return false;
    }
  }
  auto rest = cur.rest();
  out.trailing.assign(rest.begin(), rest.end());
  err = SceneError{};
  return true;
}

std::vector<uint8_t> writeSceneStream(const SceneStream& stream) {
  std::vector<uint8_t> out;
  for (const auto& records : stream.categories) {
    out.push_back(static_cast<uint8_t>(records.size()));
    for (const EntityRecord& r : records) {
      putF32(out, r.startTime);
      putF32(out, r.endTime);
      for (const auto* list : {&r.tracksA, &r.tracksB}) {
        out.push_back(static_cast<uint8_t>(list->size()));
        for (const TrackRecord& t : *list) writeTrack(out, t);
      }
    }
  }
  out.insert(out.end(), stream.trailing.begin(), stream.trailing.end());
  return out;
}

void readEntityRecord(const EntityRecord& record, SceneEntity& entity) {
  entity.startTime = record.startTime;
  entity.endTime = record.endTime;
  auto fill = [](const std::vector<TrackRecord>& src, EntityList<Track>& dst) {
    for (const TrackRecord& tr : src) {
      Track* t = dst.append(new Track());
      if (!tr.nameUnterminated && !tr.name.empty()) t->name = tr.name;
      t->word = tr.word;
      t->params = tr.params;
      for (const KeyRecord& kr : tr.keys) {
        Key* k = t->appendKey();
        k->time = kr.time;
        k->type = kr.type;
        k->values = kr.values;
      }
    }
  };
  fill(record.tracksA, entity.tracksA);
  fill(record.tracksB, entity.tracksB);
}

int32_t loadSceneData(std::span<const uint8_t> bytes, const std::string& file,
                      const EntityFactory& factory, SceneError& error) {
  SceneStream stream;
  if (!parseSceneStream(bytes, file, stream, error)) return -1;
  int32_t count = 0;
  for (int c = 0; c < kCategoryCount; ++c) {
    const auto cat = static_cast<Category>(c);
    for (const EntityRecord& r : stream.categories[static_cast<size_t>(c)]) {
      if (cat == Category::Timeline) {
        if (timeline) readEntityRecord(r, *timeline);
      } else if (entityRegistry) {
        SceneEntity* e = factory ? factory(cat) : nullptr;
        if (!e) e = new SceneEntity();
        readEntityRecord(r, *e);
        (*entityRegistry)[c].append(e);
      }
      ++count;
    }
  }
  return count;
}

}  // namespace glimmer
