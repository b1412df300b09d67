// Ascending in-place sort of doubles: an iterative quicksort with a
// median-of-three pivot and an explicit stack, finishing ranges of at most
// nine elements by selection. The exact sequence of comparisons and swaps is
// fixed, so values that compare equal but differ in bits (+0.0 and -0.0) and
// NaNs always land in the same places.
#include <utility>

#include "core/checks.h"
#include "core/export.h"
#include "core/ops.h"

namespace zal {
namespace {

struct Range {
    int lo;
    int hi;
};

void orderMedianOfThree(double* a, int lo, int mid, int hi) {
    if (a[mid] < a[lo]) std::swap(a[mid], a[lo]);
    if (a[hi] < a[lo]) std::swap(a[hi], a[lo]);
    if (a[hi] < a[mid]) std::swap(a[hi], a[mid]);
}

// Repeatedly moves the leftmost maximum of [lo, hi] to hi.
void selectionFinish(double* a, int lo, int hi) {
    for (; hi > lo; --hi) {
        int best = lo;
        for (int k = lo + 1; k <= hi; ++k)
            if (a[k] > a[best]) best = k;
        std::swap(a[best], a[hi]);
    }
}

}  // namespace

void core::sortAscend(double* a, int len) {
    Range stack[32];
    int depth = 0;
    Range cur{0, len - 1};
    for (;;) {
        while (cur.hi - cur.lo + 1 > 9) {
            const int lo = cur.lo, hi = cur.hi;
            const int count = hi - lo + 1;
            if (a[lo] < a[lo + 1]) std::swap(a[lo], a[lo + 1]);
            const int mid = lo + count / 2;
            orderMedianOfThree(a, lo, mid, hi);
            const double pivot = a[mid];

            int left = lo + 1, right = hi;
            for (;;) {
                while (left < right && !(a[left] > pivot)) ++left;
                while (right > left && a[right] > pivot) --right;
                if (left >= right) break;
                std::swap(a[left], a[right]);
            }
            const int m = left;
            int leftEnd = m - 1;
            while (leftEnd > lo && a[leftEnd] == pivot) --leftEnd;

            const Range leftPart{lo, leftEnd}, rightPart{m, hi};
            const int leftSpan = leftEnd - lo, rightSpan = hi - m;
            // Defer the larger part (the left one on a tie), go on with the other.
            Range larger = leftSpan >= rightSpan ? leftPart : rightPart;
            Range smaller = leftSpan >= rightSpan ? rightPart : leftPart;
            if (smaller.hi == smaller.lo) {
                cur = larger;
                continue;
            }
            if (larger.hi > larger.lo && depth < 32) stack[depth++] = larger;
            cur = smaller;
        }
        selectionFinish(a, cur.lo, cur.hi);
        if (depth == 0) break;
        cur = stack[--depth];
    }
}

}  // namespace zal

ZAL_DECLARED(zalsSortAscend_64f_I);
extern "C" StatusCode zalsSortAscend_64f_I(double* pSrcDst, int len) {
    ZAL_CHECK(zal::requireNonNull(pSrcDst));
    ZAL_CHECK(zal::requireLength(len));
    if (len > 1) zal::core::sortAscend(pSrcDst, len);
    return StatusOk;
}
