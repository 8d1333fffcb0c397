// Mesh drawing: texture units and material before a mesh, the interleaved buffers, placement with
// parents, the drawing tracks (PolygonMode, Lighting, Repeat), outline text and the mesh pass with
// its opaque/transparent split.
#include <algorithm>

#include "mesh/mesh.h"
#include "platform/gl.h"
#include "render/internal.h"

namespace render {

namespace {

const GLvoid* bufferOffset(size_t offset) { return reinterpret_cast<const GLvoid*>(offset); }

void drawElements(const glimmer::MeshRenderData& data) {
  glDrawElements(GL_TRIANGLES, data.indexCount(), GL_UNSIGNED_INT, bufferOffset(0));
}

// Applies the PolygonMode and Lighting tracks of a mesh; their effects are read by drawing only.
void applyDrawingTracks(const glimmer::MeshObject& mesh) {
  for (auto* n = mesh.tracksA.first(); n; n = n->next) {
    const Track& t = *n->value;
    if (!t.isEnabled()) continue;
    if (t.opcode() == static_cast<uint8_t>(glimmer::MeshOp::PolygonMode)) {
      const int32_t mode = glimmer::roundToInt(t.params[0]);
      const bool smooth = t.params[6] > 0.0f;
      if (mode == 0) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
      } else if (mode == 1) {
        if (smooth)
          glEnable(GL_LINE_SMOOTH);
        else
          glDisable(GL_LINE_SMOOTH);
        glLineWidth(t.params[3]);
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
      } else if (mode == 2) {
        if (smooth)
          glEnable(GL_POINT_SMOOTH);
        else
          glDisable(GL_POINT_SMOOTH);
        glPointSize(t.params[3]);
        glPolygonMode(GL_FRONT_AND_BACK, GL_POINT);
      }
    } else if (t.opcode() == static_cast<uint8_t>(glimmer::MeshOp::Lighting)) {
      if (t.params[0] == 0.0f)
        glDisable(GL_LIGHTING);
      else
        glEnable(GL_LIGHTING);
    }
  }
}

}  // namespace

void bindMeshTextures(const glimmer::MeshObject& mesh) {
  glext::glActiveTextureARB(GL_TEXTURE0_ARB);
  if (mesh.textures[0]) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    bindTexture(mesh.textures[0]);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
  glext::glActiveTextureARB(GL_TEXTURE1_ARB);
  if (mesh.textures[1]) {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
    glEnable(GL_TEXTURE_2D);
    bindTexture(mesh.textures[1]);
  } else {
    glDisable(GL_TEXTURE_2D);
  }
}

void applyMaterial(const glimmer::Material& material) {
  glMaterialfv(GL_FRONT, GL_AMBIENT, material.ambient.data());
  glMaterialfv(GL_FRONT, GL_DIFFUSE, material.diffuse.data());
  glMaterialfv(GL_FRONT, GL_SPECULAR, material.specular.data());
  glMaterialf(GL_FRONT, GL_SHININESS, material.shininess);
  glDepthMask(material.depthWrite ? GL_TRUE : GL_FALSE);
  switch (material.blendMode) {
    case 0:
      glDisable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      break;
    case 1:
      glDisable(GL_BLEND);
      glAlphaFunc(GL_GREATER, 0.0f);
      glEnable(GL_ALPHA_TEST);
      break;
    case 2:
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glAlphaFunc(GL_GREATER, 0.0f);
      glEnable(GL_ALPHA_TEST);
      glEnable(GL_BLEND);
      break;
    default:  // other modes keep the blend and alpha-test state of the previous mesh
      break;
  }
  if (glext::shadersAvailable) {
    if (material.shaderEnabled) {
      glext::glUseProgramObjectARB(material.program.programObject);
      // The water program moves with the mesh's own update time.
      if (material.program.sourcePair == 4) setProgramTime(material.program);
    } else {
      glext::glUseProgramObjectARB(0);
    }
  }
}

void endMaterial(const glimmer::Material&) {
  glDepthMask(GL_TRUE);
  if (glext::shadersAvailable) glext::glUseProgramObjectARB(0);
}

void drawRenderData(const glimmer::MeshRenderData& data) {
  if (data.vertexBuffer == 0 || data.indexBuffer == 0) return;
  glext::glBindBufferARB(GL_ARRAY_BUFFER_ARB, data.vertexBuffer);
  glext::glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, data.indexBuffer);
  const GLsizei stride = static_cast<GLsizei>(glimmer::kRenderVertexStride);
  glVertexPointer(3, GL_FLOAT, stride, bufferOffset(glimmer::kOffsetPosition));
  glNormalPointer(GL_FLOAT, stride, bufferOffset(glimmer::kOffsetNormal));
  glext::glClientActiveTextureARB(GL_TEXTURE0_ARB);
  glTexCoordPointer(2, GL_FLOAT, stride, bufferOffset(glimmer::kOffsetTexCoord));
  // The generic attributes exist only with shader support; fixed-function drawing needs none.
  if (glext::shadersAvailable) {
    glext::glVertexAttribPointerARB(10, 3, GL_FLOAT, GL_TRUE, stride,
                                    bufferOffset(glimmer::kOffsetTangent));
    glext::glVertexAttribPointerARB(11, 3, GL_FLOAT, GL_TRUE, stride,
                                    bufferOffset(glimmer::kOffsetBinormal));
    glext::glEnableVertexAttribArrayARB(10);
    glext::glEnableVertexAttribArrayARB(11);
  }
  switch (data.cullMode) {
    case 0:
      glEnable(GL_CULL_FACE);
      glCullFace(GL_BACK);
      drawElements(data);
      break;
    case 1:
      glDisable(GL_CULL_FACE);
      drawElements(data);
      break;
    case 2:
      glEnable(GL_CULL_FACE);
      glCullFace(GL_FRONT);
      drawElements(data);
      glCullFace(GL_BACK);
      drawElements(data);
      break;
    case 3:
      glEnable(GL_CULL_FACE);
      glCullFace(GL_FRONT);
      drawElements(data);
      glCullFace(GL_BACK);
      break;
    default:  // an unknown cull mode draws nothing
      break;
  }
  if (glext::shadersAvailable) {
    glext::glDisableVertexAttribArrayARB(11);
    glext::glDisableVertexAttribArrayARB(10);
  }
}

std::vector<const glimmer::MeshObject*> placementChain(const glimmer::MeshObject& mesh) {
  std::vector<const glimmer::MeshObject*> chain;
  for (const glimmer::MeshObject* m = &mesh; m; m = m->parent) {
    if (std::find(chain.begin(), chain.end(), m) != chain.end()) break;
    chain.push_back(m);
  }
  return chain;
}

void applyPlacement(const glimmer::MeshObject& mesh) {
  const auto chain = placementChain(mesh);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const glimmer::MeshObject& m = **it;
    glTranslatef(m.translation.x, m.translation.y, m.translation.z);
    glRotatef(m.rotation.x, 1.0f, 0.0f, 0.0f);
    glRotatef(m.rotation.y, 0.0f, 1.0f, 0.0f);
    glRotatef(m.rotation.z, 0.0f, 0.0f, 1.0f);
    glScalef(m.scale.x, m.scale.y, m.scale.z);
  }
}

void drawMesh(glimmer::MeshObject& mesh) {
  glPushMatrix();
  applyPlacement(mesh);
  applyDrawingTracks(mesh);
  if (mesh.text.string) {
    // Outline text: every character of the string, each list moving the pen by its advance.
    if (mesh.text.listBase != 0 && !mesh.text.string->empty()) {
      glPushAttrib(GL_CURRENT_BIT | GL_POLYGON_BIT | GL_LIST_BIT);
      glListBase(mesh.text.listBase);
      glCallLists(static_cast<GLsizei>(mesh.text.string->size()), GL_UNSIGNED_BYTE,
                  mesh.text.string->data());
      glPopAttrib();
    }
  } else {
    const glimmer::MeshRenderData& data =
        mesh.sharedRenderData ? *mesh.sharedRenderData : mesh.renderData;
    drawRenderData(data);
    for (auto* n = mesh.tracksA.first(); n; n = n->next) {
      const Track& t = *n->value;
      if (!t.isEnabled() || t.opcode() != static_cast<uint8_t>(glimmer::MeshOp::Repeat)) continue;
      const int32_t copies = glimmer::roundToInt(t.params[0]);
      const float s = (t.params[9] + 100.0f) / 100.0f;
      for (int32_t k = 0; k < copies; ++k) {
        glTranslatef(t.params[3] / 32.0f, t.params[4] / 32.0f, t.params[5] / 32.0f);
        glRotatef(t.params[6], 1.0f, 0.0f, 0.0f);
        glRotatef(t.params[7], 0.0f, 1.0f, 0.0f);
        glRotatef(t.params[8], 0.0f, 0.0f, 1.0f);
        glScalef(s, s, s);
        drawRenderData(data);
      }
    }
  }
  glPopMatrix();
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glLineWidth(1.0f);
}

void collectMeshes(const Vec3f& eye, std::vector<SortEntry>& opaque,
                   std::vector<SortEntry>& transparent) {
  opaque.clear();
  transparent.clear();
  if (!glimmer::entityRegistry || !glimmer::timeline) return;
  for (glimmer::MeshObject* mesh : meshEntities()) {
    if (!mesh || !glimmer::timeline->isActive(*mesh)) continue;
    const SortEntry e{
        mesh, distance3(eye, {mesh->translation.x, mesh->translation.y, mesh->translation.z})};
    (mesh->material.blendMode != 0 ? transparent : opaque).push_back(e);
  }
  sortByDistance(opaque, false);
  sortByDistance(transparent, true);
}

void drawMeshes() {
  glColor3f(1.0f, 1.0f, 1.0f);
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  if (!gState.activeScene) return;
  // drawMeshes runs twice a frame and never inside itself, so the lists' storage is reused.
  std::vector<SortEntry>& opaque = gState.opaqueMeshes;
  std::vector<SortEntry>& transparent = gState.transparentMeshes;
  collectMeshes(gState.activeScene->eye, opaque, transparent);
  for (const auto* list : {&opaque, &transparent}) {
    for (const SortEntry& e : *list) {
      auto& mesh = static_cast<glimmer::MeshObject&>(*e.mesh);
      bindMeshTextures(mesh);
      applyMaterial(mesh.material);
      mesh.draw();
      endMaterial(mesh.material);
    }
  }
}

}  // namespace render
