// The mesh store: drawing through the host table, and faces or textures that
// point outside their arrays.
#include <gtest/gtest.h>

#include <vector>

#include "engine/dllShared.h"
#include "glTest.h"
#include "resources/mshman.h"
#include "resources/texMan.h"

namespace {

using mshman::TMesh;
using mshman::TMeshFace;
using mshman::TMeshGroup;

// A square of side 0.4 around the centre at z = -1.4, four corners, normals
// +z (index 0) and -z (index 1).
TMesh Square() {
  TMesh m;
  m.Vertices = {{-0.2f, -0.2f, -1.4f}, {0.2f, -0.2f, -1.4f}, {0.2f, 0.2f, -1.4f}, {-0.2f, 0.2f, -1.4f}};
  m.Normals = {{0, 0, 1}, {0, 0, -1}};
  m.VertCount = 4;
  m.NormCount = 2;
  return m;
}

TMeshGroup QuadGroup(int32_t tex1 = 0) {
  TMeshGroup g;
  g.Mode = GL_QUADS;
  g.Faces = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}};
  g.FaceCount = 4;
  g.Tex1 = tex1;
  return g;
}

void AddGroup(TMesh& m, TMeshGroup g) {
  m.Groups.push_back(std::move(g));
  m.GroupCount = static_cast<int32_t>(m.Groups.size());
}

// A 1x1 texture of one colour.
uint32_t SolidTexture(uint8_t r, uint8_t g, uint8_t b) {
  GLuint name = 0;
  const uint8_t px[4] = {r, g, b, 255};
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, px);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  return name;
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
    texMan::TextureTable[2].GLName = SolidTexture(0, 0, 255);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  void TearDown() override {
    for (int32_t i = 0; i < texMan::TexCount(); ++i) texMan::DeleteTexture(i);
    texMan::TextureTable.clear();
    mshman::ClearMeshes();
    GLTest::TearDown();
  }
  RGBA Centre() { return ReadPixel(Width() / 2, Height() / 2); }
  // The mesh is drawn through the host table, as operators reach it.
  void Draw(int32_t mesh, bool useColours) { dllShared::Host.DrawMesh(mesh, useColours, 0.01f); }
};

TEST_F(MeshDraw, UntexturedGroupKeepsTheCallersColourUnlessAskedForItsOwn) {
  TMesh m = Square();
  TMeshGroup g = QuadGroup();
  g.ColorGreen = 1;
  g.Alpha = 0.5f;
  AddGroup(m, g);
  mshman::MeshStore.push_back(m);

  glColor4f(1, 0, 0, 1);
  Draw(0, false);
  EXPECT_TRUE(Near(Centre(), RGBA{255, 0, 0, 255})) << Centre();
  EXPECT_EQ(CurrentColour(), (std::vector<float>{1, 0, 0, 1}));
  EXPECT_EQ(BoundTexture(), 0);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  Draw(0, true);
  EXPECT_TRUE(Near(Centre(), RGBA{0, 255, 0, 128})) << Centre();
  EXPECT_EQ(CurrentColour(), (std::vector<float>{0, 1, 0, 0.5f}));
}

TEST_F(MeshDraw, TextureNumberNIsTableEntryNMinusOneAndStaysBound) {
  TMesh m = Square();
  AddGroup(m, QuadGroup(3));
  mshman::MeshStore.push_back(m);
  glColor4f(1, 1, 1, 1);
  glTexCoord2f(0.5f, 0.5f);  // meshes send no coordinates: the current one is sampled
  Draw(0, false);
  EXPECT_TRUE(Near(Centre(), RGBA{0, 0, 255, 255})) << Centre();
  EXPECT_EQ(BoundTexture(), static_cast<GLint>(texMan::TextureTable[2].GLName));
}

TEST_F(MeshDraw, EachEmittedVertexCarriesItsFacesNormal) {
  // Two triangles share vertex 2; the left one names normal +z everywhere,
  // the right one names -z, so with a light from the viewer the left is lit
  // and the right is dark.
  TMesh m = Square();
  TMeshGroup g;
  g.Mode = GL_TRIANGLES;
  g.Faces = {{0, 0, 0}, {2, 0, 0}, {3, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
  g.FaceCount = 6;
  AddGroup(m, g);
  mshman::MeshStore.push_back(m);

  glDisable(GL_TEXTURE_2D);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  const float pos[4] = {0, 0, 1, 0}, white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
  glLightfv(GL_LIGHT0, GL_POSITION, pos);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  Draw(0, false);
  glDisable(GL_LIGHTING);
  glDisable(GL_LIGHT0);

  const int c = Width() / 2, d = Width() / 20;
  EXPECT_GT(ReadPixel(c - d, c + d / 2).r, 150);  // upper-left triangle
  EXPECT_LT(ReadPixel(c + d, c - d / 2).r, 30);   // lower-right triangle
  float n[3] = {};
  glGetFloatv(GL_CURRENT_NORMAL, n);
  EXPECT_EQ(n[2], -1.0f);
}

TEST_F(MeshDraw, NothingIsDrawnForEmptyMissingOrClearedMeshes) {
  mshman::MeshStore.push_back(Square());  // GroupCount 0
  const GLuint t = texMan::TextureTable[2].GLName;
  glBindTexture(GL_TEXTURE_2D, t);
  glColor4f(0.25f, 0.5f, 0.75f, 1);
  for (int32_t mesh : {0, 1, -1, INT32_MAX}) {
    Draw(mesh, true);
    EXPECT_EQ(BoundTexture(), static_cast<GLint>(t)) << mesh;
    EXPECT_EQ(CurrentColour(), (std::vector<float>{0.25f, 0.5f, 0.75f, 1}));
  }
  EXPECT_EQ(Centre(), (RGBA{0, 0, 0, 0}));

  TMesh m = Square();
  AddGroup(m, QuadGroup());
  mshman::MeshStore.push_back(m);
  mshman::ClearMeshes();
  EXPECT_EQ(mshman::MeshCount(), 0);
  Draw(0, false);
  Draw(1, false);
  EXPECT_EQ(Centre(), (RGBA{0, 0, 0, 0}));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDraw, GroupsWithIndicesOutsideTheArraysAreSkippedWhole) {
  TMesh m = Square();
  TMeshGroup badVertex = QuadGroup();
  badVertex.Faces[2].VertexIndex = 4;
  TMeshGroup badNormal = QuadGroup();
  badNormal.Faces[0].NormalIndex = -1;
  TMeshGroup badMode = QuadGroup();
  badMode.Mode = 99;
  TMeshGroup lying = QuadGroup();
  lying.FaceCount = 1000;  // more than it holds: only the faces held are drawn
  AddGroup(m, badVertex);
  AddGroup(m, badNormal);
  AddGroup(m, badMode);
  mshman::MeshStore.push_back(m);
  glColor4f(1, 1, 1, 1);
  Draw(0, false);
  EXPECT_EQ(Centre(), (RGBA{0, 0, 0, 0}));
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

  // A good group after bad ones is still drawn, and a count that claims
  // more groups than exist reads none of the missing.
  mshman::MeshStore[0].Groups.push_back(lying);
  mshman::MeshStore[0].GroupCount = 50;
  Draw(0, false);
  EXPECT_TRUE(Near(Centre(), RGBA{255, 255, 255, 255})) << Centre();
}

TEST_F(MeshDraw, TextureNumbersBeyondTheTableDrawUntextured) {
  for (int32_t tex1 : {4, 100, -3}) {
    TMesh m = Square();
    AddGroup(m, QuadGroup(tex1));
    mshman::MeshStore.assign(1, m);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glBindTexture(GL_TEXTURE_2D, texMan::TextureTable[2].GLName);
    glColor4f(1, 1, 0, 1);
    Draw(0, false);
    EXPECT_EQ(BoundTexture(), 0) << tex1;
    EXPECT_TRUE(Near(Centre(), RGBA{255, 255, 0, 255})) << tex1 << " " << Centre();
  }
}

TEST(MeshStore, ClearMeshEmptiesOneMeshAndIgnoresOthers) {
  mshman::MeshStore.assign(2, Square());
  AddGroup(mshman::MeshStore[0], QuadGroup());
  mshman::MeshStore[0].FileName = "cube";
  mshman::MeshStore[0].TexCoords.resize(3);
  mshman::MeshStore[0].TexCount = 3;
  mshman::ClearMesh(0);
  mshman::ClearMesh(-1);
  mshman::ClearMesh(2);
  const TMesh& m = mshman::MeshStore[0];
  EXPECT_EQ(m.FileName, "");
  EXPECT_EQ(m.VertCount + m.NormCount + m.TexCount + m.GroupCount, 0);
  EXPECT_TRUE(m.Vertices.empty() && m.Normals.empty() && m.TexCoords.empty() && m.Groups.empty());
  EXPECT_EQ(mshman::MeshStore[1].Vertices.size(), 4u);
  EXPECT_EQ(mshman::MeshCount(), 2);
  mshman::ClearMeshes();
  EXPECT_EQ(mshman::MeshCount(), 0);
}

}  // namespace
