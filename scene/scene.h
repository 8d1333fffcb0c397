// Scene model: tracks and keys, the entity base class, the per-category registry, the timeline
// and the reader of the SceneData byte stream.
//
// Index:
//   Key, Track            keyframed commands and their evaluation
//   EntityList            owning doubly linked list used for tracks, keys and the registry
//   SceneEntity           base class with the 13 virtual operations
//   EntityRegistry        six category lists; process-wide entityRegistry and timeline
//   DemoClock, TimelineObject
//   SceneStream           exact in-memory form of the byte stream (reader and writer)
//   loadSceneData         builds entities from a stream
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace glimmer {

constexpr int kParamCount = 12;
constexpr uint32_t kEnabledBit = 0x00400000u;
constexpr uint32_t kAnimatedBit = 0x00800000u;
constexpr float kShowLength = 178.0f;
constexpr int kCategoryCount = 6;

enum class Category : int { Texture = 0, Mesh = 1, Light = 2, Scene = 3, Timeline = 4, Particle = 5 };

// Float to int32 by truncation toward zero; out-of-range values saturate instead of being undefined.
int32_t toInt(float x);
// Rounds to the nearest integer, ties to even; saturates like toInt.
int32_t roundToInt(float x);

// ---------------------------------------------------------------------------------------------
// EntityList: owning doubly linked list. Clearing walks from the tail and deletes each value.
// Lists only grow at the tail until cleared, so an index of the nodes kept beside the links gives
// count() and at(i) in constant time (the registry is looked up by index on per-frame paths).

// Every list takes a fresh number from this counter when it is made and whenever it changes, so
// a cache built from a list can tell whether the list is still the one it read (a list made at
// the same address after a reload has another number). Lists change on the main thread only.
inline uint64_t entityListVersions = 0;

template <typename T>
class EntityList {
 public:
  struct Node {
    T* value = nullptr;
    Node* prev = nullptr;
    Node* next = nullptr;
  };

  EntityList() = default;
  EntityList(const EntityList&) = delete;
  EntityList& operator=(const EntityList&) = delete;
  EntityList(EntityList&& o) noexcept : head_(o.head_), tail_(o.tail_), nodes_(std::move(o.nodes_)) {
    o.head_ = o.tail_ = nullptr;
    o.nodes_.clear();
    o.version_ = ++entityListVersions;
  }
  EntityList& operator=(EntityList&& o) noexcept {
    if (this != &o) {
      clear();
      head_ = o.head_;
      tail_ = o.tail_;
      nodes_ = std::move(o.nodes_);
      o.head_ = o.tail_ = nullptr;
      o.nodes_.clear();
      version_ = ++entityListVersions;
      o.version_ = ++entityListVersions;
    }
    return *this;
  }
  ~EntityList() { clear(); }

  // Appends at the tail and takes ownership; returns the value.
  T* append(T* value) {
    Node* n = new Node{value, tail_, nullptr};
    if (tail_) tail_->next = n; else head_ = n;
    tail_ = n;
    nodes_.push_back(n);
    version_ = ++entityListVersions;
    return value;
  }
  int count() const { return static_cast<int>(nodes_.size()); }
  // Value of node i counted from the head, or null when the list ends first (or i < 0).
  T* at(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= nodes_.size()) return nullptr;
    return nodes_[static_cast<size_t>(i)]->value;
  }
  Node* first() const { return head_; }
  Node* last() const { return tail_; }
  bool empty() const { return head_ == nullptr; }
  // Destroys the values from the tail to the head and frees the nodes.
  void clear() {
    Node* n = tail_;
    while (n) {
      Node* p = n->prev;
      delete n->value;
      delete n;
      n = p;
    }
    head_ = tail_ = nullptr;
    nodes_.clear();
    version_ = ++entityListVersions;
  }
  // This list's number from entityListVersions; it changes with every append and clear.
  uint64_t version() const { return version_; }

  template <typename F>
  void forEach(F&& f) const {
    for (Node* n = head_; n; n = n->next) f(*n->value);
  }

 private:
  Node* head_ = nullptr;
  Node* tail_ = nullptr;
  std::vector<Node*> nodes_;  // the nodes in list order
  uint64_t version_ = ++entityListVersions;
};

// ---------------------------------------------------------------------------------------------
// Keys and tracks

struct Key {
  float time = 0.0f;
  uint8_t type = 2;  // 0 hold, 1 flat, 2 smooth
  std::array<float, kParamCount> values{};
};

// Key arithmetic on the 12 values, each component rounded to float32.
Key keyScale(const Key& k, float s);
Key keyAdd(const Key& a, const Key& b);
Key keySub(const Key& a, const Key& b);
Key keyLerp(const Key& k0, const Key& k1, float u);
Key catmullRom(const Key& p0, const Key& p1, const Key& p2, const Key& p3, float u);

class Track {
 public:
  uint32_t word = kEnabledBit;
  std::array<float, kParamCount> params{};
  std::optional<std::string> name;  // bytes of the string operand without the terminator
  EntityList<Key> keys;

  uint8_t opcode() const { return static_cast<uint8_t>(word & 0xFF); }
  bool isEnabled() const { return (word & kEnabledBit) != 0; }
  bool isAnimated() const { return (word & kAnimatedBit) != 0; }
  const char* nameOrNull() const { return name ? name->c_str() : nullptr; }

  Key* appendKey() { return keys.append(new Key()); }
  // Sets params from the keys at demo time t, or leaves them unchanged past the last key.
  void evaluate(float t);
};

// ---------------------------------------------------------------------------------------------
// SceneEntity

class SceneEntity {
 public:
  SceneEntity() = default;
  SceneEntity(const SceneEntity&) = delete;
  SceneEntity& operator=(const SceneEntity&) = delete;
  // Clears tracksA then tracksB, each from tail to head.
  virtual ~SceneEntity();

  virtual int saveToScratch() { return 0; }                 // slot 0
  virtual int loadFromScratch() { return 0; }               // slot 1
  virtual int applyCommand(const Track&) { return 0; }      // slot 2
  virtual int precalc() { return 0; }                       // slot 3
  virtual int reserved() { return 0; }                      // slot 4: no operation
  virtual void clear() {}                                   // slot 5
  virtual void upload() {}                                  // slot 6
  virtual void release() {}                                 // slot 7
  virtual void draw() {}                                    // slot 8
  virtual void applyTracksA();                              // slot 9
  virtual void applyTracksB();                              // slot 10
  virtual void update(float time, float delta);             // slot 11

  int32_t spareIndex = -1;
  float startTime = 0.0f;
  float endTime = 0.0f;
  EntityList<Track> tracksA;
  EntityList<Track> tracksB;

 protected:
  // Applies every enabled track of the list, head to tail.
  void applyList(const EntityList<Track>& list);
};

// ---------------------------------------------------------------------------------------------
// DemoClock and TimelineObject

// Source of the high-resolution counter; the platform layer installs the real one.
struct CounterSource {
  uint64_t (*counter)() = nullptr;
  uint64_t (*frequency)() = nullptr;
};
void setCounterSource(CounterSource source);
const CounterSource& counterSource();

class DemoClock {
 public:
  DemoClock();
  void reset();
  // Seconds since the last reset, from the low 32 bits of the counter difference.
  float elapsed() const;

  int64_t startCount = 0;
  float frequencyDiv256 = 0.0f;
};

class TimelineObject : public SceneEntity {
 public:
  TimelineObject() = default;
  int applyCommand(const Track& track) override;
  int precalc() override { applyTracksA(); return 0; }

  void start();
  void stop();
  bool isActive(const SceneEntity& e) const;
  // The frame step: advance time, stop past 178 s, update the timeline and active entities.
  void step();

  int32_t currentScene = -1;
  bool running = false;
  float time = 0.0f;
  DemoClock clock;
};

// ---------------------------------------------------------------------------------------------
// Registry

struct EntityRegistry {
  std::array<EntityList<SceneEntity>, kCategoryCount> lists;
  EntityList<SceneEntity>& operator[](Category c) { return lists[static_cast<int>(c)]; }
  EntityList<SceneEntity>& operator[](int c) { return lists[static_cast<size_t>(c)]; }
};

extern EntityRegistry* entityRegistry;
extern TimelineObject* timeline;

void createRegistry();
// Deletes categories 5 down to 0, each list from its last entity to its first, then the array.
void destroyRegistry();
// Entity at index i of category c, or null.
SceneEntity* registryEntity(Category c, int index);

// A category list of the registry cast once to one entity type, for the per-frame walks and
// lookups by index: the list is cast again only after it changes (its version moves) or the
// registry is another, so a frame makes no dynamic cast.
template <typename T>
struct TypedEntities {
  const EntityList<SceneEntity>* list = nullptr;
  uint64_t version = 0;
  std::vector<T*> items;  // entity i of the list as T, or null where it is of another type

  // The entities of category c as T, in list order; empty without a registry.
  const std::vector<T*>& of(Category c) {
    if (!entityRegistry) {
      list = nullptr;
      items.clear();
      return items;
    }
    const EntityList<SceneEntity>& l = (*entityRegistry)[c];
    if (list != &l || version != l.version()) {
      list = &l;
      version = l.version();
      items.clear();
      for (auto* n = l.first(); n; n = n->next) items.push_back(dynamic_cast<T*>(n->value));
    }
    return items;
  }
  // Entity i of category c as T; null when i lies outside the list or the entity is another type.
  T* at(Category c, int index) {
    const std::vector<T*>& v = of(c);
    return index >= 0 && static_cast<size_t>(index) < v.size() ? v[static_cast<size_t>(index)]
                                                                : nullptr;
  }
};

// The precalculation pass: progress(k * 100 / total) before each entity, progress(100) at the end.
void precalcAll(int32_t total, const std::function<void(int32_t percent)>& progress);

// ---------------------------------------------------------------------------------------------
// The SceneData byte stream, kept exactly as stored so that it can be written back byte for byte.

struct KeyRecord {
  float time = 0.0f;
  uint8_t type = 2;
  std::array<float, kParamCount> values{};
};

struct TrackRecord {
  std::string name;           // bytes before the terminator (empty: no name)
  bool nameUnterminated = false;  // 512 bytes without a zero byte: the name is dropped
  std::string rawName;        // the 512 bytes themselves when nameUnterminated
  uint32_t word = kEnabledBit;
  std::array<float, kParamCount> params{};
  std::vector<KeyRecord> keys;
};

struct EntityRecord {
  float startTime = 0.0f;
  float endTime = 0.0f;
  std::vector<TrackRecord> tracksA;
  std::vector<TrackRecord> tracksB;
};

struct SceneStream {
  std::array<std::vector<EntityRecord>, kCategoryCount> categories;
  std::vector<uint8_t> trailing;  // bytes after the sixth block; never interpreted
};

constexpr size_t kMaxNameBytes = 512;
constexpr size_t kMaxRecordsPerCategory = 255;
constexpr size_t kMaxTracksPerList = 255;
constexpr size_t kMaxKeysPerTrack = 255;

// Error from a reader of outside bytes: where it happened and what was expected.
struct SceneError {
  std::string file;
  size_t offset = 0;
  int category = -1;
  int entity = -1;
  int track = -1;  // index within its list
  char list = 0;   // 'A' or 'B'
  int key = -1;
  std::string what;
  std::string message() const;
};

const char* categoryName(Category c);

// Parses the whole stream; stops cleanly at the end of the bytes with an error naming the
// category, entity, track and byte offset of the field that runs past it.
bool parseSceneStream(std::span<const uint8_t> bytes, const std::string& file, SceneStream& out,
                      SceneError& error);
std::vector<uint8_t> writeSceneStream(const SceneStream& stream);

// Creates the entity object of a category (never the timeline).
using EntityFactory = std::function<SceneEntity*(Category)>;

// Parses the stream, then creates every entity in stream order: categories 0-3 and 5 are
// appended to entityRegistry, category 4 is read into *timeline. Returns the number of entity
// records read, or -1 with error set (nothing created).
int32_t loadSceneData(std::span<const uint8_t> bytes, const std::string& file,
                      const EntityFactory& factory, SceneError& error);

// Fills an entity's times and tracks from a record (appending tracks after existing ones).
void readEntityRecord(const EntityRecord& record, SceneEntity& entity);

}  // namespace glimmer

// ---------------------------------------------------------------------------------------------
// The mesh pack: named entries (name, u32 size, payload) up to the end of the resource.

namespace glimmer {

// The pack bytes in use; set once at start-up (empty when there is no pack).
extern std::span<const uint8_t> meshPackData;

struct PackEntry {
  std::string name;
  size_t nameOffset = 0;     // offset of the entry's name in the pack
  size_t payloadOffset = 0;  // offset of its payload
  std::span<const uint8_t> payload;
};

// Walks the entries of a pack. The walk ends at the end of the bytes; an entry whose name or
// stated size runs past the end ends the pack (stopReason says why).
std::vector<PackEntry> listPackEntries(std::span<const uint8_t> pack, std::string* stopReason = nullptr);

// Payload of the first entry of meshPackData whose whole name equals name; empty span with a null
// data pointer when there is none.
std::span<const uint8_t> findPackEntry(const char* name);
std::span<const uint8_t> findPackEntry(std::span<const uint8_t> pack, const char* name);

}  // namespace glimmer
