// Renderer internals: the scene, light and particle entities, screen layers, the bitmap font,
// the pure geometry of the screen effects and the mesh sort, and the per-pass drawing helpers.
// Tests include this header; other folders use render/render.h.
//
// Index:
//   ScreenLayer, SceneObject  camera set-up, fog, clear, viewport, effects (category 3)
//   LightObject, applyLights  OpenGL lights 0..6 (category 2)
//   Particle, ParticleObject  additive billboard pools (category 5) and particleSeed
//   BitmapFont, printText     glyph display lists for screen text
//   pure geometry             up vector, glow and echo copies, viewport, layer tracks, sorting
//   GL passes                 frame, materials, programs, meshes, particles
//   typed entity lists        the registry's lists cast once: textureEntities() and the others
//   State, gState             the renderer's process-wide state; resetRenderState
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/render.h"
#include "scene/scene.h"

namespace glimmer {
class TextureObject;
class MeshObject;
struct Material;
class MeshRenderData;
struct ShaderProgram;
}  // namespace glimmer

namespace render {

using glimmer::SceneEntity;
using glimmer::Track;

using Vec3f = std::array<float, 3>;
using Colour = std::array<float, 4>;

class SceneObject;

// ---------------------------------------------------------------------------------------------
// Scene object (category 3)

struct ScreenLayer {
  int32_t textureIndex = -1;
  float x = 0.0f;
  float y = 0.0f;
  float width = 0.0f;
  float height = 0.0f;
  Colour colour{1.0f, 1.0f, 1.0f, 1.0f};
};

// Scene opcodes, the names an author writes in the scene source.
enum SceneOpcode : uint8_t {
  kSetCamera = 0,
  kSetFog = 1,
  kSetClear = 2,
  kSetFade = 3,
  kSetGlow = 4,
  kSetLayer = 5,
  kSetBackgroundLayer = 6,
  kSetViewport = 7,
  kDrawText = 8,
  kEchoRing = 9,
};

constexpr uint32_t kGlowFlag = 4;

class SceneObject : public SceneEntity {
 public:
  SceneObject() = default;
  int applyCommand(const Track& track) override;
  int precalc() override {
    applyTracksA();
    return 0;
  }

  Vec3f eye{0.0f, 0.0f, 0.0f};
  Vec3f target{0.0f, 0.0f, -10.0f};
  float roll = 0.0f;
  Colour fadeColour{0.0f, 0.0f, 0.0f, 0.0f};
  uint32_t effectFlags = 0;
  int32_t spare = 64;
  int32_t fogMode = -1;  // GL_LINEAR, GL_EXP, GL_EXP2 or -1
  float fogStart = 0.1f;
  float fogEnd = 6.0f;
  float fogDensity = 0.5f;
  Colour fogColour{0.5f, 0.5f, 0.5f, 1.0f};
  bool clearEnabled = true;
  bool clearWithFogColour = false;
  Colour clearColour{0.0f, 0.0f, 0.0f, 1.0f};
  float glowAmount = 6.0f;
  int32_t glowPasses = 4;
  Colour glowColour{0.0f, 0.0f, 0.0f, 0.0f};
  ScreenLayer storedLayer;
  ScreenLayer backgroundLayer;
  bool viewportEnabled = false;
  float viewportX = 0.0f;
  float viewportY = 0.0f;
  float viewportWidth = 100.0f;
  float viewportHeight = 100.0f;
  float fov = 70.0f;
  float aspect = 1.33f;
};

// The layer a SetLayer/SetBackgroundLayer command stores (index truncated).
ScreenLayer layerFromParams(const std::array<float, glimmer::kParamCount>& p);
// The layer the frame renderer draws for an opcode-5 track (index rounded to nearest).
ScreenLayer layerFromTrack(const Track& track);

// ---------------------------------------------------------------------------------------------
// Light object (category 2)

enum LightOpcode : uint8_t { kSetLightPosition = 0, kSetLightColours = 1 };

constexpr int kLightCount = 7;  // OpenGL lights 0..6; light 7 is never touched

class LightObject : public SceneEntity {
 public:
  LightObject() = default;
  int applyCommand(const Track& track) override;
  int precalc() override {
    applyTracksA();
    return 0;
  }

  int32_t lightIndex = 0;
  Colour position{0.0f, 1.0f, 0.0f, 1.0f};
  Colour ambient{0.3f, 0.3f, 0.3f, 1.0f};
  Colour diffuse{0.7f, 0.7f, 0.7f, 1.0f};
  Colour specular{0.6f, 0.6f, 0.6f, 1.0f};
};

// For each of the seven OpenGL lights, the light entity that feeds it this frame (null: the
// light is disabled). Numbers are list positions; lightIndex of each chosen light is set.
std::array<LightObject*, kLightCount> assignLights();
// The light pass: enables and sets the lights assignLights() chooses, disables the others.
void applyLights();

// ---------------------------------------------------------------------------------------------
// Particle systems (category 5)

struct Particle {
  Colour colour{0.0f, 0.0f, 0.0f, 1.0f};
  Vec3f position{};
  Vec3f velocity{};
  Vec3f acceleration{};
  float fade = 0.0f;
  float angle = 0.0f;
  float spinRate = 0.0f;
};
static_assert(sizeof(Particle) == 64, "a particle is 64 bytes");

enum ParticleOpcode : uint8_t {
  kSetEmitter = 0,
  kSetParticles = 1,
  kSetParticleTexture = 2,
  kSetGravity = 3,
};

constexpr int32_t kParticleSeedStart = 0x01DE2B57;
// Largest pool a particle system may have (4 MB of particles, far more than any scene draws);
// a larger request gets this many, so a hostile stream cannot ask for gigabytes.
constexpr int32_t kMaxParticles = 65536;
// Puts the emission random state shared by every particle system (gState.particleSeed) back to
// its start value; nothing else resets it during a run.
void resetParticleSeed();
// Next emission random number: the 15-bit generator divided by 32678 (so up to about 1.0027).
float particleRandom();

class ParticleObject : public SceneEntity {
 public:
  ParticleObject();
  int applyCommand(const Track& track) override;
  int precalc() override {
    applyTracksA();
    return 0;
  }
  void draw() override;
  void update(float time, float delta) override;

  // Gives the pool n particles (negative: none) and emits them all; same n keeps the pool.
  void resize(int32_t n);
  void spawnAll();
  // Emits particle i anew, drawing exactly five random numbers.
  void spawn(int32_t i);
  // Advances one particle by delta seconds; true when its alpha has run out (or is NaN).
  static bool step(Particle& p, float delta);
  // Emission direction: the second row of the rotation built from emitterAngles.
  Vec3f emitterDirection() const;

  Vec3f emitterPosition{};
  Vec3f emitterAngles{};
  Colour colour{1.0f, 1.0f, 1.0f, 1.0f};
  Vec3f gravity{};
  float gravityScale = 0.0f;
  int32_t count = 20;
  float speed = 10.0f;
  float fadeRate = 1.0f;
  float size = 0.1f;
  float spin = 0.0f;
  float spreadX = 0.0f;
  float spreadZ = 0.0f;
  glimmer::TextureObject* texture = nullptr;  // not owned
  std::vector<Particle> particles;            // empty when the pool has no array
};

// The particle pass of the main view: each active system with its texture, in list order.
void drawParticleSystems();

// ---------------------------------------------------------------------------------------------
// Bitmap font for screen text

constexpr int kFontFirstChar = 32;
constexpr int kFontCharCount = 96;

// The requested character height of the overlay font at a screen width (64 at 640).
int overlayFontHeight(int width);

class BitmapFont {
 public:
  BitmapFont() = default;
  ~BitmapFont() { destroy(); }
  BitmapFont(const BitmapFont&) = delete;
  BitmapFont& operator=(const BitmapFont&) = delete;

  // Builds one bitmap display list per character 32..127 from the "Impact" face (or its
  // condensed bold substitute) at the character height overlayFontHeight(width).
  bool create(int width);
  void destroy();

  uint32_t listBase = 0;
  std::string faceName;  // the family actually used
  std::string faceFile;  // the font file it came from
};

// Deletes the smaller font of drawStatusLine (with the context that holds its lists).
void releaseStatusFont();

// Prints a string with its first glyph's origin at (x, y) in the current projection.
void printText(float x, float y, const char* text);

// ---------------------------------------------------------------------------------------------
// Pure geometry of the frame (no GL)

// Up vector of a camera rolled by roll degrees: (sin r, cos r, 0).
Vec3f cameraUpVector(float roll);

// Most glow passes and echo-ring copies drawn: each is a full-screen quad, so a hostile track
// value could otherwise ask for billions of them. The show uses a handful.
constexpr int32_t kMaxGlowPasses = 256;
constexpr int32_t kMaxEchoCopies = 256;

// One zoomed copy of the glow: quad from (-offset, -offset) to (w + offset, h + offset).
struct GlowCopy {
  float offset = 0.0f;
  std::array<float, 3> colour{};
};
// Passes drawn for a scene's glow pass count: none below 1, at most kMaxGlowPasses.
int32_t glowPassCount(int32_t passes);
// Copy i of `passes` (a count from glowPassCount).
GlowCopy glowCopy(int32_t i, int32_t passes, float amount, const Colour& glowColour, int width);

// Copies of one echo ring: toInt(copies), none below 1, at most kMaxEchoCopies.
int32_t echoCopyCount(float copies);
// Offset of copy i of n, on a circle of radius starting at angle 0.
std::array<float, 2> echoOffset(int32_t i, int32_t n, float radius);

struct ViewportRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
// The scene's custom viewport in pixels, percentages of the screen truncated toward zero.
ViewportRect sceneViewport(const SceneObject& scene, int width, int height);

// An entry of the mesh sort: the entity and its distance from the eye.
struct SortEntry {
  SceneEntity* mesh = nullptr;
  float distance = 0.0f;
};
// Bubble sort over adjacent pairs until a sweep makes no swap; nearest first, or farthest first
// when farthestFirst. Equal distances keep their order.
void sortByDistance(std::vector<SortEntry>& entries, bool farthestFirst);
// Euclidean distance in single precision.
float distance3(const Vec3f& a, const Vec3f& b);

// ---------------------------------------------------------------------------------------------
// GL passes (each needs a current context)

void applyCamera(const SceneObject& scene);
void drawScene(SceneObject& scene);
void setDefaultProjection(float fov);
// Pixel coordinates from the bottom-left corner, with both matrices saved on their stacks, for a
// pass drawn in the middle of the frame; popPixelProjection puts the camera back.
void pushPixelProjection();
void popPixelProjection();
void begin2D();
void end2D();
void drawFullScreenQuad();
void bindTexture(const glimmer::TextureObject* texture);
void copyFrameToTexture();
void drawLayer(const ScreenLayer& layer);
void drawMeshes();

// Shows a message to the user; never blocks an unattended run (it goes to stderr then).
void showMessage(const char* caption, const char* text);

// ---------------------------------------------------------------------------------------------
// Materials and shader programs

struct ShaderSources {
  const char* vertex = nullptr;
  const char* fragment = nullptr;
};
// Built-in source pair 1 to 4; both null for any other number.
ShaderSources builtInSources(int32_t pair);
// Fetches a shader's info log and shows it in a "GLSL compile log" box when it is not empty.
void showCompileLog(uint32_t shader);
// Deletes the old objects, then creates, compiles, links and makes current the program of the
// recorded pair. Does nothing at all without shader support.
void buildProgram(glimmer::ShaderProgram& program);
// Deletes the program and its two shaders where they exist; names are zeroed.
void releaseProgram(glimmer::ShaderProgram& program);
// Passes the mesh's latest update time to the current program's uniform "time".
void setProgramTime(const glimmer::ShaderProgram& program);
void setUniformFloat(int location, float value);

// Texture units before a mesh: base texture on unit 0, sphere-mapped texture 1 on unit 1.
void bindMeshTextures(const glimmer::MeshObject& mesh);
void applyMaterial(const glimmer::Material& material);
void endMaterial(const glimmer::Material& material);

// ---------------------------------------------------------------------------------------------
// Mesh drawing

// The meshes whose placements apply to a mesh, the mesh itself first and its farthest ancestor
// last; a parent chain that closes a cycle stops before it repeats a mesh.
std::vector<const glimmer::MeshObject*> placementChain(const glimmer::MeshObject& mesh);
// Splits the active meshes by material (opaque / transparent) and sorts each: opaque nearest
// first, transparent farthest first, by the distance from eye to each mesh's own translation.
void collectMeshes(const Vec3f& eye, std::vector<SortEntry>& opaque,
                   std::vector<SortEntry>& transparent);
void drawRenderData(const glimmer::MeshRenderData& data);
void applyPlacement(const glimmer::MeshObject& mesh);
void drawMesh(glimmer::MeshObject& mesh);

// The texture entity at an index of the texture list, or null.
glimmer::TextureObject* textureAt(int32_t index);
// The shared 128 x 128 texture that receives copies of the frame.
glimmer::TextureObject* frameCopy();

// ---------------------------------------------------------------------------------------------
// Typed entity lists

// The registry's entities of a category as their render type, in list order (null where an entity
// is of another type; empty without a registry). A list is cast again only after it changes, so
// the per-frame walks and lookups by index make no dynamic cast.
const std::vector<glimmer::MeshObject*>& meshEntities();
const std::vector<LightObject*>& lightEntities();
const std::vector<ParticleObject*>& particleEntities();

// ---------------------------------------------------------------------------------------------
// Process-wide state of the renderer: everything render/ keeps between calls, in one place.

struct State {
  int screenWidth = 640;               // pixels; set by createRenderResources()
  int screenHeight = 480;              // pixels; set by createRenderResources()
  float appliedFov = 0.0f;             // field of view of the last perspective built from a scene
  float defaultFov = 70.0f;            // field of view of the default 4:3 projection
  SceneObject* activeScene = nullptr;  // the scene drawn in the current frame, or null
  // The emission random state shared by every particle system.
  int32_t particleSeed = kParticleSeedStart;
  std::unique_ptr<BitmapFont> overlayFont;  // screen text; made by createRenderResources()
  std::unique_ptr<BitmapFont> statusFont;   // a quarter of its size, made on first use
  // glUniform1fARB, which the shell's loader does not fetch; null without shader support.
  void (*uniform1f)() = nullptr;
  // The per-frame mesh lists of drawMeshes, kept so that their storage is reused.
  std::vector<SortEntry> opaqueMeshes;
  std::vector<SortEntry> transparentMeshes;
  // The registry's lists as render types (see textureEntities and the others).
  glimmer::TypedEntities<glimmer::TextureObject> textures;
  glimmer::TypedEntities<glimmer::MeshObject> meshes;
  glimmer::TypedEntities<LightObject> lights;
  glimmer::TypedEntities<SceneObject> scenes;
  glimmer::TypedEntities<ParticleObject> particles;
};

extern State gState;

// Puts every field of gState back to its start value. The fonts' display lists are deleted, so
// the context that holds them must be current (or no font made yet).
void resetRenderState();

}  // namespace render
