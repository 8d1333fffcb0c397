// Mesh builder: MeshObject (scene category 1) with its corner model, the material record that
// the renderer applies, the interleaved render data, outline text and the GPU hooks.
//
// Index:
//   Vec2, Vec3, Mat3, Corner          value types of the corner model
//   RenderVertex, MeshRenderData      expanded per-corner vertices and their two buffers
//   ShaderProgram, Material           surface description applied before drawing
//   TextMesh                          3D outline text
//   MeshGpuHooks                      what render/ installs so meshes reach OpenGL
//   MeshObject, scratchMesh           the entity and its opcode table
//
// Nothing in this folder calls OpenGL. Buffer creation, display lists, shader programs and drawing
// go through MeshGpuHooks; with no hooks installed every GPU step is skipped and the CPU data
// (pools, render data, glyph triangles) is still built, so tools and tests run without a window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/glyph_lists.h"
#include "platform/glyph_outline.h"
#include "scene/scene.h"

namespace glimmer {

class TextureObject;

// ---------------------------------------------------------------------------------------------
// Value types

struct Vec2 {
  float u = 0.0f;
  float v = 0.0f;
};

struct Vec3 {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
};

// Row-major 3 x 3 matrix applied to row vectors: p' = p x M.
struct Mat3 {
  float m[3][3] = {};
};

// One triangle corner: indices into the three pools, in this order.
struct Corner {
  uint32_t position = 0;
  uint32_t normal = 0;
  uint32_t texCoord = 0;
};

// ---------------------------------------------------------------------------------------------
// Render data

// The vertex as it lies in the vertex buffer: 64 bytes of little-endian float32.
struct RenderVertex {
  Vec3 position;         // offset 0
  Vec3 normal;           // offset 12
  Vec3 tangent;          // offset 24, generic attribute 10 "mTangent"
  Vec3 binormal;         // offset 36, generic attribute 11 "mBinormal"
  Vec2 texCoord;         // offset 48, texture unit 0
  uint8_t spare[8] = {};  // offset 56, zero
};
static_assert(sizeof(RenderVertex) == 64, "RenderVertex is the 64-byte buffer record");

constexpr size_t kRenderVertexStride = 64;
constexpr size_t kOffsetPosition = 0;
constexpr size_t kOffsetNormal = 12;
constexpr size_t kOffsetTangent = 24;
constexpr size_t kOffsetBinormal = 36;
constexpr size_t kOffsetTexCoord = 48;

// Expanded vertices and identity indices of one mesh, the two buffer names that hold them on the
// GPU, and how faces are culled. Destroying it frees the arrays, never the GPU buffers.
class MeshRenderData {
 public:
  MeshRenderData() = default;
  MeshRenderData(const MeshRenderData&) = delete;
  MeshRenderData& operator=(const MeshRenderData&) = delete;
  virtual ~MeshRenderData() = default;

  // Fills tangent and binormal of every vertex from the triangles of the index list.
  void computeTangents();
  // Frees both arrays; the buffer names are kept.
  void freeArrays();

  int32_t vertexCount() const { return static_cast<int32_t>(vertices.size()); }
  int32_t indexCount() const { return static_cast<int32_t>(indices.size()); }

  uint32_t vertexBuffer = 0;
  uint32_t indexBuffer = 0;
  std::vector<RenderVertex> vertices;
  std::vector<uint32_t> indices;
  // 0 front faces; 1 both in one pass; 2 back then front; 3 back only; other: not drawn.
  int32_t cullMode = 0;
};

// ---------------------------------------------------------------------------------------------
// Material

// A mesh's own shader program. The GLSL sources live in render/; the mesh records only which
// built-in pair it selected (sourcePair 1 to 4, 0 none) and render/ compiles that pair.
struct ShaderProgram {
  uint32_t programObject = 0;
  uint32_t vertexShader = 0;
  uint32_t fragmentShader = 0;
  int32_t sourcePair = 0;  // 0: no sources; 1 lighting, 2 bump, 3 bump reflection, 4 water
  float time = 0.0f;       // the mesh's latest update time in seconds
  float spare = 1.0f;
};

// Colours, render state and program choice applied before a mesh is drawn.
struct Material {
  Material() = default;
  Material(const Material&) = delete;
  Material& operator=(const Material&) = delete;
  // Releases the program objects through the hook (releaseProgram).
  ~Material();

  // Opcode 6: 0 drops the program; 1 to 4 select that built-in pair; every non-zero choice
  // switches the program on (other values keep the current pair).
  void setShaderChoice(int32_t choice);
  // Records a pair and asks render/ to build it when it differs from the current one.
  void setSources(int32_t pair);
  // Asks render/ to delete the program objects, then forgets the pair.
  void releaseProgram();

  std::array<float, 4> ambient{0.2f, 0.2f, 0.2f, 1.0f};
  std::array<float, 4> diffuse{0.85f, 0.85f, 0.85f, 1.0f};
  std::array<float, 4> specular{0.54f, 0.54f, 0.54f, 1.0f};
  float shininess = 20.0f;
  int32_t blendMode = 0;  // 0 opaque, 1 alpha-tested, 2 alpha-blended; non-zero sorts as transparent
  bool depthWrite = true;
  bool shaderEnabled = false;
  ShaderProgram program;
};

// ---------------------------------------------------------------------------------------------
// Outline text

constexpr int kGlyphListCount = 256;  // lists reserved per Text command
constexpr int kGlyphCodeCount = 255;  // character codes 0 to 254 get glyphs; 255 stays empty
constexpr float kGlyphDeviation = 0.001f;
// The fixed font of outline text: "Arial Black", character height 12, bold, ANSI character set,
// TrueType, anti-aliased (the glyphs come in em units, so the height does not scale them).
inline constexpr platform::GlyphFont kTextFont{"Arial Black", -12, 700, 0, 4, 4};

// A line of extruded 3D text drawn instead of the mesh's geometry.
struct TextMesh {
  TextMesh() = default;
  TextMesh(const TextMesh&) = delete;
  TextMesh& operator=(const TextMesh&) = delete;
  // Deletes the 256 glyph lists through the hook when this text created them.
  ~TextMesh();

  std::optional<std::string> string;  // the text; none: the mesh draws its geometry
  uint32_t listBase = 0;              // list listBase + k draws character code k
  float depth = 0.2f;                 // extrusion along -Z
  bool listsCreated = false;
};

// ---------------------------------------------------------------------------------------------
// GPU hooks

class MeshObject;

// Installed once by render/ after the GL context exists. Every member may be null; a null member
// means the step is skipped (tools and tests run with no hooks at all).
struct MeshGpuHooks {
  // Generates two buffer names into data.vertexBuffer and data.indexBuffer (both 0 when either
  // fails), fills the vertex buffer (GL_ARRAY_BUFFER) with vertexCount x 64 bytes of `vertices`
  // and the index buffer (GL_ELEMENT_ARRAY_BUFFER) with indexCount x 4 bytes of `indices`, both
  // GL_STATIC_DRAW, then enables the vertex, normal and unit-0 texture-coordinate client arrays.
  // Called by MeshObject::upload() after the render data was rebuilt; data may be empty.
  void (*createBuffers)(MeshRenderData& data) = nullptr;
  // Deletes data.vertexBuffer and data.indexBuffer where non-zero; the caller then zeroes them.
  void (*deleteBuffers)(MeshRenderData& data) = nullptr;
  // Makes 256 consecutive display lists (glGenLists(256)) and returns the first name, 0 on failure.
  // List base + k (k = 0 ... glyphs.size() - 1, that is codes 0 to 254) draws glyph k:
  // GL_TRIANGLES over glyphs[k].vertices (per vertex glNormal3f(nx, ny, nz) then
  // glVertex3f(x, y, z); three vertices per triangle, counter-clockwise from the front), then
  // glTranslatef(advanceX, advanceY, 0) so the next glyph follows. List base + 255 stays empty.
  uint32_t (*createGlyphLists)(std::span<const platform::OutlineGlyph> glyphs) = nullptr;
  // glDeleteLists(listBase, count).
  void (*deleteGlyphLists)(uint32_t listBase, int32_t count) = nullptr;
  // Makes 256 consecutive display lists and has the system fill those of codes 0 to 254 with the
  // outline glyphs of `font` extruded by depth (platform::buildOutlineGlyphLists); list base + 255
  // stays empty. Returns the first name, 0 on failure; error says why glyphs are missing. Used
  // instead of createGlyphLists when no glyph source is installed.
  uint32_t (*createOutlineGlyphLists)(const platform::GlyphFont& font, float depth,
                                      std::string& error) = nullptr;
  // (Re)builds program.programObject and its two shaders from built-in pair program.sourcePair
  // (delete the old objects first; sourcePair 0: build nothing). Must not touch the shader entry
  // points when the GL has no shader support.
  void (*buildProgram)(ShaderProgram& program) = nullptr;
  // Deletes program.programObject, program.vertexShader and program.fragmentShader where non-zero.
  void (*releaseProgram)(ShaderProgram& program) = nullptr;
  // Draws the mesh (slot 8): placement, drawing tracks, text or render data, repeats.
  void (*drawMesh)(MeshObject& mesh) = nullptr;
};

void setMeshGpuHooks(const MeshGpuHooks& hooks);
const MeshGpuHooks& meshGpuHooks();

// Receives mesh-building diagnostics (a refused pack entry, an oversized generator). The default
// writes one line to stderr; null restores it.
using MeshDiagnosticHook = void (*)(const std::string& message);
void setMeshDiagnosticHook(MeshDiagnosticHook hook);

// Source of glyph triangles for outline text, compiled by createGlyphLists in place of the
// system's outline glyph lists (createOutlineGlyphLists). Tests install one to stay independent
// of installed fonts; null restores the system's lists.
using GlyphSource = bool (*)(float depth, std::vector<platform::OutlineGlyph>& glyphs,
                             std::string& error);
void setGlyphSource(GlyphSource source);

// ---------------------------------------------------------------------------------------------
// MeshObject

enum class MeshOp : uint8_t {
  SetTransform = 0,
  SetColours = 1,
  SetTextures = 2,
  SetRenderState = 3,
  ShareGeometry = 4,
  Repeat = 5,
  SetShader = 6,
  SetParent = 7,
  PolygonMode = 8,
  Lighting = 9,
  Grid = 10,
  Sphere = 12,
  Tube = 13,
  Text = 15,
  LoadMesh = 16,
  Transform = 20,
  Normals = 21,
  Twist = 22,
  MapTexCoords = 24,
  Displace = 25,
  Nop = 26,
};

// Name of a mesh opcode ("Grid"), or null for a number without a command.
const char* meshOpName(uint8_t opcode);

// A piece of geometry with its placement, material, textures and render data. The geometry is
// three attribute pools and a corner list indexing each pool independently.
class MeshObject : public SceneEntity {
 public:
  MeshObject() = default;
  // clear(), then the text, the render data and the material go, then the SceneEntity part.
  ~MeshObject() override;

  int saveToScratch() override;
  int loadFromScratch() override;
  int applyCommand(const Track& track) override;
  int precalc() override;
  void clear() override;
  void upload() override;
  void release() override;
  void draw() override;
  void update(float time, float delta) override;

  // Pool helpers: replace the pool by n zero-filled entries (old contents are lost).
  void resizePositions(int32_t n);
  void resizeNormals(int32_t n);
  void resizeTexCoords(int32_t n);
  void resizeCorners(int32_t n);
  // One zero normal and every corner pointing at it.
  void resetNormals();
  // Rebuilds renderData: one vertex per corner, identity indices, tangent frames.
  void buildRenderData();

  int32_t positionCount() const { return static_cast<int32_t>(positions.size()); }
  int32_t texCoordCount() const { return static_cast<int32_t>(texCoords.size()); }
  int32_t normalCount() const { return static_cast<int32_t>(normals.size()); }
  int32_t cornerCount() const { return static_cast<int32_t>(corners.size()); }

  Material material;
  std::array<TextureObject*, 2> textures{nullptr, nullptr};  // not owned
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<Vec2> texCoords;
  std::vector<Corner> corners;
  MeshRenderData renderData;
  MeshRenderData* sharedRenderData = nullptr;  // not owned
  MeshObject* parent = nullptr;                // not owned
  Vec3 translation;
  Vec3 rotation;  // degrees about X, Y, Z
  Vec3 scale{1.0f, 1.0f, 1.0f};
  TextMesh text;
};

// The process-wide mesh used only by saveToScratch() and loadFromScratch().
extern MeshObject scratchMesh;


// ---------------------------------------------------------------------------------------------
// Mesh pack entries and the pack tool's readers

constexpr size_t kPackMeshHeaderBytes = 8;
constexpr size_t kPackVertexBytes = 20;
constexpr uint32_t kPackMaxVertices = 65536;  // indices are 16-bit
constexpr int kMaxPackImageEdge = 512;

// A mesh as the pack stores it: one position and texture coordinate per vertex, u16 corners.
struct PackMesh {
  std::vector<Vec3> positions;
  std::vector<Vec2> texCoords;  // same length as positions
  std::vector<uint16_t> indices;
};

// Decodes a pack mesh payload into the mesh's pools. The whole payload is validated first
// (counts against its size, every index below the vertex count); on failure the mesh is
// unchanged and error says what is wrong, with the byte offset inside the payload.
bool loadPackMesh(std::span<const uint8_t> payload, MeshObject& mesh, std::string& error);
// Validates and decodes a payload without touching a mesh.
bool decodePackMesh(std::span<const uint8_t> payload, PackMesh& out, std::string& error);
// The payload bytes of a pack mesh: vertexCount, indexCount, vertices, indices.
std::vector<uint8_t> encodePackMesh(const PackMesh& mesh);
// Appends one entry (name, zero byte, u32 size, payload) to a pack.
void appendPackEntry(std::vector<uint8_t>& pack, const std::string& name,
                     std::span<const uint8_t> payload);

}  // namespace glimmer
