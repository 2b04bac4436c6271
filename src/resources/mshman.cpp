#include "resources/mshman.h"

#include <GL/gl.h>

#include <algorithm>

#include "engine/dllShared.h"
#include "resources/texMan.h"

namespace mshman {

std::vector<TMesh> MeshStore;

int32_t MeshCount() { return static_cast<int32_t>(MeshStore.size()); }

void Startup() { dllShared::Host.DrawMesh = DrawMesh; }
void Shutdown() { MeshStore.clear(); }

namespace {

// A count field never lets a loop go past its array.
size_t Bounded(int32_t count, size_t actual) {
  return count <= 0 ? 0 : std::min(static_cast<size_t>(count), actual);
}

// A group is drawn only when its mode is an OpenGL primitive and every face
// it draws names a vertex and a normal inside the mesh's arrays; otherwise
// the whole group is skipped (a partial batch would draw torn primitives).
bool GroupDrawable(const TMesh& m, const TMeshGroup& g) {
  if (g.Mode < GL_POINTS || g.Mode > GL_POLYGON) return false;
  const size_t faces = Bounded(g.FaceCount, g.Faces.size());
  for (size_t i = 0; i < faces; ++i) {
    const TMeshFace& f = g.Faces[i];
    if (f.VertexIndex < 0 || static_cast<size_t>(f.VertexIndex) >= m.Vertices.size()) return false;
    if (f.NormalIndex < 0 || static_cast<size_t>(f.NormalIndex) >= m.Normals.size()) return false;
  }
  return true;
}

// Texture number n is table entry n - 1; a number beyond the table draws
// untextured, like 0.
GLuint GroupTexture(int32_t tex1) {
  if (tex1 <= 0 || tex1 > texMan::TexCount()) return 0;
  return texMan::TextureTable[static_cast<size_t>(tex1 - 1)].GLName;
}

}  // namespace

void DrawMesh(int32_t mesh, bool useColours, float /*scale: accepted, not used*/) {
  if (mesh < 0 || mesh >= MeshCount()) return;
  const TMesh& m = MeshStore[static_cast<size_t>(mesh)];
  const size_t groups = Bounded(m.GroupCount, m.Groups.size());
  for (size_t gi = 0; gi < groups; ++gi) {
    const TMeshGroup& g = m.Groups[gi];
    if (!GroupDrawable(m, g)) continue;
    glBindTexture(GL_TEXTURE_2D, 0);
    if (useColours) glColor4f(g.ColorRed, g.ColorGreen, g.ColorBlue, g.Alpha);
    glBindTexture(GL_TEXTURE_2D, GroupTexture(g.Tex1));
    glBegin(static_cast<GLenum>(g.Mode));
    const size_t faces = Bounded(g.FaceCount, g.Faces.size());
    for (size_t i = 0; i < faces; ++i) {
      const TMeshFace& f = g.Faces[i];
      const TMeshVector& n = m.Normals[static_cast<size_t>(f.NormalIndex)];
      glNormal3f(n.X, n.Y, n.Z);
      glVertex3fv(&m.Vertices[static_cast<size_t>(f.VertexIndex)].X);
    }
    glEnd();
  }
}

void ClearMesh(int32_t mesh) {
  if (mesh < 0 || mesh >= MeshCount()) return;
  TMesh& m = MeshStore[static_cast<size_t>(mesh)];
  m.FileName.clear();
  for (TMeshGroup& g : m.Groups) {
    g.Name.clear();
    g.FaceCount = 0;
    std::vector<TMeshFace>().swap(g.Faces);
  }
  m.VertCount = m.NormCount = m.TexCount = m.GroupCount = 0;
  std::vector<TMeshVector>().swap(m.Vertices);
  std::vector<TMeshVector>().swap(m.Normals);
  std::vector<TMeshTexCoord>().swap(m.TexCoords);
  std::vector<TMeshGroup>().swap(m.Groups);
}

void ClearMeshes() {
  for (int32_t i = 0; i < MeshCount(); ++i) ClearMesh(i);
  std::vector<TMesh>().swap(MeshStore);
}

}  // namespace mshman
