#include "engine/registry.h"

namespace registry {

dllShared::fOperator* Operators[OperatorCount] = {};

}  // namespace registry
