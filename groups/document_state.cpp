#include "groups/document_state.h"

namespace zavek {

IFormControls::~IFormControls() = default;

} // namespace zavek
