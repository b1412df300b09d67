// Shared pieces of the edge and feature family.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/align.h"

// Base angles of the fast arctangent, by octant code (library-internal:
// hidden like every non-exported symbol).
extern "C" const float _zlcvAtanTab[8];

