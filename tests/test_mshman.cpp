// The mesh store: drawing through the host table, and faces or textures that point outside their arrays.
#include "engine/dllShared.h"
#include "glTest.h"
#include "resources/Texturez.h"
#include "resources/mshman.h"
#include "resources/texMan.h"

namespace {

using mshman::TMesh, mshman::TMeshGroup;

// A square of side 0.4 around the centre at z = -1.4; normals +z (0) and -z (1).
TMesh Square() {
  TMesh m;
  m.Vertices = {{-0.2f, -0.2f, -1.4f}, {0.2f, -0.2f, -1.4f}, {0.2f, 0.2f, -1.4f}, {-0.2f, 0.2f, -1.4f}};
  return m.Normals = {{0, 0, 1}, {0, 0, -1}}, m.VertCount = 4, m.NormCount = 2, m;
}
TMeshGroup QuadGroup(int32_t tex1 = 0) {
  TMeshGroup g;
  return g.Mode = GL_QUADS, g.FaceCount = 4, g.Tex1 = tex1, g.Faces = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}}, g;
}
// Square() with the given groups, stored as the only mesh.
void StoreMesh(std::vector<TMeshGroup> groups) {
  TMesh m = Square();
  m.GroupCount = static_cast<int32_t>(groups.size()), m.Groups = std::move(groups);
  mshman::MeshStore.assign(1, m);
}
GLint BoundTexture() {
  GLint b = -1;
  return glGetIntegerv(GL_TEXTURE_BINDING_2D, &b), b;
}
std::vector<float> CurrentColour() {
  std::vector<float> c(4);
  return glGetFloatv(GL_CURRENT_COLOR, c.data()), c;
}

class MeshDraw : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp(), mshman::Startup(), mshman::ClearMeshes();
    texMan::TextureTable.assign(3, texMan::TTextureEntry{});
    const uint8_t blue[4] = {0, 0, 255, 255};  // texture number 3
    texMan::TextureTable[2].GLName = blue_ = Texturez::UploadTexture(1, 1, GL_RGBA, 0, blue), glBindTexture(GL_TEXTURE_2D, 0);
  }
  void TearDown() override {
    for (int32_t i = 0; i < texMan::TexCount(); ++i) texMan::DeleteTexture(i);
    texMan::TextureTable.clear(), mshman::ClearMeshes(), GLTest::TearDown();
  }
  RGBA Centre() { return ReadPixel(Width() / 2, Height() / 2); }
  void Draw(int32_t mesh, bool useColours = false) { dllShared::Host.DrawMesh(mesh, useColours, 0.01f); }  // as operators do
  GLuint blue_ = 0;
};

TEST_F(MeshDraw, GroupColoursOnRequestTextureNIsEntryNMinusOneNormalsPerFace) {
  TMeshGroup g = QuadGroup();
  g.ColorGreen = 1, g.Alpha = 0.5f;
  StoreMesh({g}), glColor4f(1, 0, 0, 1), Draw(0, false);
  EXPECT_TRUE(Near(Centre(), RGBA{255, 0, 0, 255}) && BoundTexture() == 0) << Centre();
  EXPECT_EQ(CurrentColour(), (std::vector<float>{1, 0, 0, 1}));
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), Draw(0, true);
  EXPECT_TRUE(Near(Centre(), RGBA{0, 255, 0, 128})) << Centre();
  EXPECT_EQ(CurrentColour(), (std::vector<float>{0, 1, 0, 0.5f}));

  glTexCoord2f(0.5f, 0.5f);  // meshes send none: the current one is sampled. Beyond the table: untextured
  for (auto [tex1, want] : {std::pair{3, RGBA{0, 0, 255, 255}}, {4, {255, 255, 255, 255}}, {-3, {255, 255, 255, 255}}}) {
    StoreMesh({QuadGroup(tex1)});
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glBindTexture(GL_TEXTURE_2D, tex1 == 3 ? 0 : blue_), glColor4f(1, 1, 1, 1);
    Draw(0);
    EXPECT_TRUE(BoundTexture() == (tex1 == 3 ? static_cast<GLint>(blue_) : 0) && Near(Centre(), want)) << tex1 << " " << Centre();
  }
  // Each vertex carries its face's normal. Two triangles share vertex 2: the upper-left one names +z and is lit by a light from the viewer,
  // the lower-right one names -z and stays dark.
  g.Mode = GL_TRIANGLES, g.FaceCount = 6, g.Faces = {{0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
  StoreMesh({g}), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  const float pos[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
  glDisable(GL_TEXTURE_2D), glEnable(GL_LIGHTING), glEnable(GL_LIGHT0), glLightfv(GL_LIGHT0, GL_POSITION, pos);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white), glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none), Draw(0);
  glDisable(GL_LIGHTING), glDisable(GL_LIGHT0);
  const int c = Width() / 2, d = Width() / 20;
  EXPECT_TRUE(ReadPixel(c - d, c + d / 2).r > 150 && ReadPixel(c + d, c - d / 2).r < 30);
}

TEST_F(MeshDraw, MissingEmptyClearedAndDamagedMeshes) {
  StoreMesh({});
  glBindTexture(GL_TEXTURE_2D, blue_), glColor4f(0.25f, 0.5f, 0.75f, 1);
  for (int32_t mesh : {0, 1, -1}) {
    Draw(mesh, true);
    EXPECT_TRUE(BoundTexture() == static_cast<GLint>(blue_) && CurrentColour() == (std::vector<float>{0.25f, 0.5f, 0.75f, 1})) << mesh;
  }
  // ClearMesh empties one mesh; out-of-range numbers are ignored.
  StoreMesh({QuadGroup()}), mshman::MeshStore.push_back(Square());
  for (int32_t mesh : {-1, 2, 0}) mshman::ClearMesh(mesh);
  EXPECT_TRUE(mshman::MeshStore[0].Groups.empty() && mshman::MeshStore[0].GroupCount == 0 && mshman::MeshStore[1].Vertices.size() == 4u);
  Draw(0), mshman::ClearMeshes(), Draw(0);
  EXPECT_TRUE(mshman::MeshCount() == 0 && Centre() == (RGBA{0, 0, 0, 0}));
  // A group naming a vertex or normal outside the arrays, or no GL primitive, is skipped whole; the
  // good groups around it still draw.
  TMeshGroup badVertex = QuadGroup(), badNormal = QuadGroup(), badMode = QuadGroup();
  badVertex.Faces[2].VertexIndex = 4, badNormal.Faces[0].NormalIndex = -1, badMode.Mode = 99;
  glBindTexture(GL_TEXTURE_2D, 0), glColor4f(1, 1, 1, 1), StoreMesh({badVertex, badNormal, badMode}), Draw(0);
  EXPECT_EQ(Centre(), (RGBA{0, 0, 0, 0}));
  TMeshGroup lying = QuadGroup();
  lying.FaceCount = 1000;  // only the faces held are drawn
  mshman::MeshStore[0].Groups.push_back(lying), mshman::MeshStore[0].GroupCount = 50;  // none of the missing are read
  Draw(0);
  EXPECT_TRUE(Near(Centre(), RGBA{255, 255, 255, 255})) << Centre();
}

}  // namespace
