// Temporary guards: inputs that reach defects whose mends are under way.
// Each guard avoids exactly the inputs of one defect; when the mend lands,
// delete the guard and the targets reach those inputs again. Nothing else in
// fuzz/ avoids inputs on purpose.
#pragma once

#include <cmath>

// -DFZ_PENDING_DEFAULT=0 turns every guard off (to reproduce the defects).
#ifndef FZ_PENDING_DEFAULT
#define FZ_PENDING_DEFAULT 1
#endif

// Sub-pixel copies convert the scaled fraction (or position) to int without a
// range check: a NaN, infinite or huge dx/dy (CopySubpix) or point
// (CopySubpixIntersect) is undefined behaviour.
#define FZ_PENDING_SUBPIX_FRACTION FZ_PENDING_DEFAULT

namespace fz::pending {

// A fraction or position that is NaN, infinite or beyond 2^16.
inline bool subpixValue(float v) { return FZ_PENDING_SUBPIX_FRACTION && !(std::fabs(v) < 65536.0f); }

}  // namespace fz::pending
