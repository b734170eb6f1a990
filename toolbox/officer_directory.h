#pragma once
// The officer directory lives in the common library, so that the server searches the same way
// without linking the selector's widgets.
#include "common/officer_directory.h"
