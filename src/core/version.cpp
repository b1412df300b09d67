// The library's constant identity record.
#include "core/export.h"

namespace {
constexpr LibraryVersion kVersion = {
    5, 1, 133, 258, {'p', 'x', '\0', '\0'}, "libzalcvpx-5.1.dylib", "5.1.1", "Jun 21 2006",
};
}  // namespace

ZAL_DECLARED(zalcvGetLibVersion);
extern "C" const LibraryVersion* zalcvGetLibVersion(void) { return &kVersion; }
