#include "app/modules.h"

#include "data/demo.h"
#include "data/filestuff.h"
#include "operators/roster.h"
#include "engine/scheduler.h"
#include "resources/mshman.h"
#include "resources/texLoad.h"
#include "resources/texMan.h"
#include "script/scripter.h"

namespace modules {

void StartModules() {
  filestuff::Startup();
  mshman::Startup();
  texMan::Startup();
  texLoad::Startup();
  roster::Startup();
  scheduler::Startup();
  demo::Startup();
  scripter::Startup();
}

void StopModules() {
  scripter::Shutdown();
  demo::Shutdown();
  scheduler::Shutdown();
  roster::Shutdown();
  texLoad::Shutdown();
  texMan::Shutdown();
  mshman::Shutdown();
  filestuff::Shutdown();
}

}  // namespace modules
