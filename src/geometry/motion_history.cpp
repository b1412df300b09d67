// Motion history update: moving pixels take the time stamp, pixels whose last
// motion is older than the duration are cleared.
#include <bit>
#include <cmath>
#include <cstdint>
#include <type_traits>

#include "core/checks.h"
#include "core/export.h"
#include "core/image.h"
#include "geometry/exports.h"
#include "geometry/ops.h"

namespace zal::geometry {
namespace {

// Order-preserving integer key of a float bit pattern: finite values compare
// as floats do, -0.0 sorts just below +0.0, and NaNs sort by their bits.
inline int32_t orderKey(float value) {
    const int32_t bits = std::bit_cast<int32_t>(value);
    return (bits & 0x7fffffff) ^ (bits >> 31);
}

}  // namespace

template <class S>
void updateMotionHistory(Image<const S> silhouette, Image<float> history, float timestamp, float duration) {
    const float oldest = timestamp - duration;
    for (int y = 0; y < history.height; ++y) {
        const S* moving = silhouette.row(y);
        float* h = history.row(y);
        if constexpr (std::is_same_v<S, float>) {
            // Float comparison: history is kept only when history >= oldest,
            // so a NaN history is cleared; a NaN silhouette is no motion.
            for (int x = 0; x < history.width; ++x) {
                const float s = moving[x];
                const float kept = h[x] >= oldest ? h[x] : 0.0f;
                h[x] = (s < 0.0f || s > 0.0f) ? timestamp : kept;
            }
        } else {
            // Integer keys: -0.0 is older than +0.0, and a NaN history with a
            // clear sign bit is newer than every finite value, so it stays.
            const int32_t oldestKey = orderKey(oldest);
            for (int x = 0; x < history.width; ++x) {
                const float kept = orderKey(h[x]) < oldestKey ? 0.0f : h[x];
                h[x] = moving[x] != 0 ? timestamp : kept;
            }
        }
    }
}

namespace {

// Checks in order: pointers, size, step lengths, step alignment, then the
// duration (-11 when negative or NaN).
template <class S>
StatusCode checkedUpdate(const S* pSilhouette, int silhStep, float* pMHI, int mhiStep, ImageSize roi, float timestamp,
                         float duration) {
    ZAL_CHECK(requireNonNull(pSilhouette, pMHI));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<S, 1>(roi, silhStep)));
    ZAL_CHECK((requireRowSteps<float, 1>(roi, mhiStep)));
    ZAL_CHECK(requireStepsAligned<S>(silhStep));
    ZAL_CHECK(requireStepsAligned<float>(mhiStep));
    ZAL_CHECK(failIf(!(duration >= 0.0f), StatusOutOfRange));
    updateMotionHistory<S>(image(pSilhouette, silhStep, roi), image(pMHI, mhiStep, roi), timestamp, duration);
    return StatusOk;
}

}  // namespace
}  // namespace zal::geometry

#define ZAL_MOTION_HISTORY(name, S)                                                                              \
    ZAL_DECLARED(name);                                                                                          \
    template void zal::geometry::updateMotionHistory<S>(zal::Image<const S>, zal::Image<float>, float, float);  \
    extern "C" StatusCode name(const S* pSilhouette, int silhStep, float* pMHI, int mhiStep, ImageSize roiSize,  \
                               float timestamp, float duration) {                                                \
        return zal::geometry::checkedUpdate(pSilhouette, silhStep, pMHI, mhiStep, roiSize, timestamp, duration); \
    }
ZAL_GEOMETRY_MOTION_HISTORY(ZAL_MOTION_HISTORY)
