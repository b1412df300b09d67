// ZALCV_TEST_THREADS=n makes n the worker count every test program starts
// with (scripts/tsan runs the threaded families with 1 to 4 workers this
// way). Tests that set their own count restore this one afterwards.
#include <cstdlib>

#include "zalcore.h"

namespace {

const int kStartWorkers = [] {
    const char* text = std::getenv("ZALCV_TEST_THREADS");
    const int n = text ? std::atoi(text) : 0;
    if (n >= 1) zalSetNumThreads(n);
    return n;
}();

}  // namespace
