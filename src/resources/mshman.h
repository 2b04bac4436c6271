// mshman: the mesh store and mesh drawing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace mshman {

struct TMeshVector {
  float X, Y, Z;
};
static_assert(sizeof(TMeshVector) == 12 && std::is_trivially_copyable_v<TMeshVector>);

struct TMeshFace {
  int32_t VertexIndex;  // into Vertices
  int32_t NormalIndex;  // into Normals
  int32_t Aux;          // carried, not drawn
};
static_assert(sizeof(TMeshFace) == 12 && offsetof(TMeshFace, NormalIndex) == 4 && offsetof(TMeshFace, Aux) == 8);

// Two 32-bit values per entry; loaded, not drawn.
struct TMeshTexCoord {
  uint8_t Raw[8];
};
static_assert(sizeof(TMeshTexCoord) == 8);

struct TMeshGroup {
  int32_t Mode = 0;  // the primitive handed to glBegin
  int32_t FaceCount = 0;
  std::vector<TMeshFace> Faces;  // one per emitted vertex
  std::string Name;
  int32_t Tex1 = 0;  // texture number, 0 = none
  int32_t Tex2 = 0;
  int32_t TexMode = 0;
  uint8_t States[5] = {};
  float ColorRed = 0;
  float ColorGreen = 0;
  float ColorBlue = 0;
  float Alpha = 0;
};

struct TMesh {
  std::string FileName;
  int32_t VertCount = 0;
  int32_t NormCount = 0;
  int32_t TexCount = 0;
  int32_t GroupCount = 0;
  bool Advanced = false;
  std::vector<TMeshVector> Vertices;
  std::vector<TMeshVector> Normals;
  std::vector<TMeshTexCoord> TexCoords;
  std::vector<TMeshGroup> Groups;
};

extern std::vector<TMesh> MeshStore;
int32_t MeshCount();

void Startup();  // installs DrawMesh into fHost slot 4
void Shutdown();

// fHost slot 4.
void DrawMesh(int32_t mesh, bool useColours, float scale);
void ClearMesh(int32_t mesh);
void ClearMeshes();

}  // namespace mshman
