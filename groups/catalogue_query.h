#pragma once
// The catalogue query lives in the common library, so that the server builds the same text
// without linking the screen's widgets.
#include "common/catalogue_query.h"
