#include "groups/document_state.h"

#include "common/per_thread.h"

namespace zavek {

ComponentGlobals& ComponentGlobals::Instance() {
    return PerThread<ComponentGlobals>::get();
}

IFormControls::~IFormControls() = default;

} // namespace zavek
