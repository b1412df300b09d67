// The test-support library has no out-of-line code of its own yet; this file
// keeps the static library non-empty.
#include "common/test_image.h"
