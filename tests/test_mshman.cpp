// The mesh store: drawing through the host table, and faces or textures that
// point outside their arrays.
#include <gtest/gtest.h>

#include <vector>

#include "engine/dllShared.h"
#include "glTest.h"
#include "resources/Texturez.h"
#include "resources/mshman.h"
#include "resources/texMan.h"

namespace {

using mshman::TMesh;
using mshman::TMeshGroup;

// A square of side 0.4 around the centre at z = -1.4; normals +z (0) and -z (1).
TMesh Square() {
  TMesh m;
  m.Vertices = {{-0.2f, -0.2f, -1.4f}, {0.2f, -0.2f, -1.4f}, {0.2f, 0.2f, -1.4f}, {-0.2f, 0.2f, -1.4f}};
  m.Normals = {{0, 0, 1}, {0, 0, -1}};
  m.VertCount = 4, m.NormCount = 2;
  return m;
}

TMeshGroup QuadGroup(int32_t tex1 = 0) {
  TMeshGroup g;
  g.Mode = GL_QUADS, g.FaceCount = 4, g.Tex1 = tex1;
  g.Faces = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
  return g;
}

// Square() with the given groups, stored as the only mesh.
void StoreMesh(std::vector<TMeshGroup> groups) {
  TMesh m = Square();
  m.Groups = std::move(groups);
  m.GroupCount = static_cast<int32_t>(m.Groups.size());
  mshman::MeshStore.assign(1, m);
}

GLint BoundTexture() {
  GLint b = -1;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &b);
  return b;
}

std::vector<float> CurrentColour() {
  std::vector<float> c(4);
  glGetFloatv(GL_CURRENT_COLOR, c.data());
  return c;
}

class MeshDraw : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    mshman::Startup();
    mshman::ClearMeshes();
    texMan::TextureTable.assign(3, texMan::TTextureEntry{});
    const uint8_t blue[4] = {0, 0, 255, 255};
    texMan::TextureTable[2].GLName = blue_ = Texturez::UploadTexture(1, 1, GL_RGBA, 0, blue);  // texture number 3
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  void TearDown() override {
    for (int32_t i = 0; i < texMan::TexCount(); ++i) texMan::DeleteTexture(i);
    texMan::TextureTable.clear();
    mshman::ClearMeshes();
    GLTest::TearDown();
  }
  RGBA Centre() { return ReadPixel(Width() / 2, Height() / 2); }
  // Through the host table, as operators reach it.
  void Draw(int32_t mesh, bool useColours = false) { dllShared::Host.DrawMesh(mesh, useColours, 0.01f); }
  GLuint blue_ = 0;
};

TEST_F(MeshDraw, GroupColoursOnlyOnRequestAndTextureNIsEntryNMinusOneOrNone) {
  TMeshGroup g = QuadGroup();
  g.ColorGreen = 1;
  g.Alpha = 0.5f;
  StoreMesh({g});
  glColor4f(1, 0, 0, 1);
  Draw(0, false);
  EXPECT_TRUE(Near(Centre(), RGBA{255, 0, 0, 255})) << Centre();
  EXPECT_EQ(CurrentColour(), (std::vector<float>{1, 0, 0, 1}));
  EXPECT_EQ(BoundTexture(), 0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  Draw(0, true);
  EXPECT_TRUE(Near(Centre(), RGBA{0, 255, 0, 128})) << Centre();
  EXPECT_EQ(CurrentColour(), (std::vector<float>{0, 1, 0, 0.5f}));

  // Meshes send no coordinates: the current one is sampled. Numbers beyond
  // the table draw untextured.
  glTexCoord2f(0.5f, 0.5f);
  for (auto [tex1, want] : {std::pair{3, RGBA{0, 0, 255, 255}}, {4, {255, 255, 255, 255}}, {-3, {255, 255, 255, 255}}}) {
    StoreMesh({QuadGroup(tex1)});
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, tex1 == 3 ? 0 : blue_);
    glColor4f(1, 1, 1, 1);
    Draw(0);
    EXPECT_EQ(BoundTexture(), tex1 == 3 ? static_cast<GLint>(blue_) : 0) << tex1;
    EXPECT_TRUE(Near(Centre(), want)) << tex1 << " " << Centre();
  }
}

TEST_F(MeshDraw, EachEmittedVertexCarriesItsFacesNormal) {
  // Two triangles share vertex 2: the upper-left one names +z and is lit by a
  // light from the viewer, the lower-right one names -z and stays dark.
  TMeshGroup g;
  g.Mode = GL_TRIANGLES;
  g.Faces = {{0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
  g.FaceCount = 6;
  StoreMesh({g});
  glDisable(GL_TEXTURE_2D);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  const float pos[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, pos);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  Draw(0);
  glDisable(GL_LIGHTING);
  glDisable(GL_LIGHT0);
  const int c = Width() / 2, d = Width() / 20;
  EXPECT_GT(ReadPixel(c - d, c + d / 2).r, 150);
  EXPECT_LT(ReadPixel(c + d, c - d / 2).r, 30);
}

TEST_F(MeshDraw, MissingEmptyAndClearedMeshesDrawNothingAndTouchNoState) {
  StoreMesh({});
  glBindTexture(GL_TEXTURE_2D, blue_);
  glColor4f(0.25f, 0.5f, 0.75f, 1);
  for (int32_t mesh : {0, 1, -1, INT32_MAX}) {
    Draw(mesh, true);
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(blue_)) << mesh;
    EXPECT_EQ(CurrentColour(), (std::vector<float>{0.25f, 0.5f, 0.75f, 1}));
  }
  // ClearMesh empties one mesh; out-of-range numbers are ignored.
  StoreMesh({QuadGroup()});
  mshman::MeshStore.push_back(Square());
  for (int32_t mesh : {-1, 2, 0}) mshman::ClearMesh(mesh);
  EXPECT_TRUE(mshman::MeshStore[0].Groups.empty() && mshman::MeshStore[0].GroupCount == 0);
  EXPECT_EQ(mshman::MeshStore[1].Vertices.size(), 4u);
  Draw(0);
  mshman::ClearMeshes();
  EXPECT_EQ(mshman::MeshCount(), 0);
  Draw(0);
  EXPECT_EQ(Centre(), (RGBA{0, 0, 0, 0}));
}

// A group naming a vertex or normal outside the arrays, or no GL primitive,
// is skipped whole; the good groups around it still draw.
TEST_F(MeshDraw, GroupsWithIndicesOutsideTheArraysAreSkippedWhole) {
  TMeshGroup badVertex = QuadGroup(), badNormal = QuadGroup(), badMode = QuadGroup();
  badVertex.Faces[2].VertexIndex = 4;
  badNormal.Faces[0].NormalIndex = -1;
  badMode.Mode = 99;
  StoreMesh({badVertex, badNormal, badMode});
  Draw(0);
  EXPECT_EQ(Centre(), (RGBA{0, 0, 0, 0}));
  TMeshGroup lying = QuadGroup();
  lying.FaceCount = 1000;  // only the faces held are drawn
  mshman::MeshStore[0].Groups.push_back(lying);
  mshman::MeshStore[0].GroupCount = 50;  // more than exist: none of the missing are read
  Draw(0);
  EXPECT_TRUE(Near(Centre(), RGBA{255, 255, 255, 255})) << Centre();
}

}  // namespace
