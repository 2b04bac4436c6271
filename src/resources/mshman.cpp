#include "resources/mshman.h"

#include "engine/dllShared.h"

namespace mshman {

std::vector<TMesh> MeshStore;

int32_t MeshCount() { return static_cast<int32_t>(MeshStore.size()); }

void Startup() { dllShared::Host.DrawMesh = DrawMesh; }
void Shutdown() { MeshStore.clear(); }

void DrawMesh(int32_t, bool, float) {}

void ClearMesh(int32_t mesh) {
  if (mesh >= 0 && mesh < MeshCount()) MeshStore[static_cast<size_t>(mesh)] = TMesh{};
}

void ClearMeshes() { MeshStore.clear(); }

}  // namespace mshman
