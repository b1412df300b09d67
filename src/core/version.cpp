// The library's constant identity record.
#include "zalcv.h"

namespace {
constexpr LibraryVersion kVersion = {
    5, 1, 133, 258, {'p', 'x', '\0', '\0'}, "libzalcvpx-5.1.dylib", "5.1.1", "Jun 21 2006",
};
}  // namespace

extern "C" const LibraryVersion* zalcvGetLibVersion(void) { return &kVersion; }
