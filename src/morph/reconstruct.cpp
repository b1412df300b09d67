// Morphological reconstruction by dilation (erosion): the marker grows
// (shrinks) through the unit neighbourhood, limited by the mask image, until
// nothing changes. The work is done by raster sweeps: forward sweeps take the
// row above, backward sweeps the row below, and each processed row is
// propagated along itself in both directions.
//
// A row's state after processing satisfies lower (upper) bounds in terms of
// itself and the neighbour row it used; values only grow (shrink), so those
// bounds stay true until that neighbour changes. Each row therefore carries
// two flags, "needs a forward pass" and "needs a backward pass", set when the
// relevant neighbour changes; the sweeps stop when no flag is set, and the
// marker is then the fixpoint min(dilation(J), I) (max(erosion(J), I)).
//
// NaN: the picks replace a value only by one that compares strictly greater
// (smaller), so a NaN marker value is never replaced and never passed on,
// and a NaN mask value limits nothing. A NaN that stays NaN must not count as
// a change (NaN != NaN would keep two rows flagging each other forever);
// with that, every other value moves monotonically through the finite set of
// marker and mask values, so the sweeps always end.
#include <cstdint>
#include <cstring>

#include "core/checks.h"
#include "core/export.h"
#include "morph/exports.h"
#include "morph/internal.h"

namespace zal::morph {
namespace {

// Equal values, or two NaNs: no change.
template <class T>
inline bool sameValue(T a, T b) {
    return a == b || (a != a && b != b);
}

constexpr uint8_t kNeedsForward = 1;
constexpr uint8_t kNeedsBackward = 2;

// Grow = Max, Limit = Min for reconstruction by dilation; swapped for erosion.
template <class T, class Grow, class Limit>
class Reconstruction {
public:
    Reconstruction(Image<const T> mask, Image<T> marker, T* rowBuffer, uint8_t* flags, bool eightNeighbours)
        : mask_(mask), marker_(marker), row_(rowBuffer), flags_(flags), eight_(eightNeighbours),
          widen_(minmax::rowFilterFor<T, 1, Grow>(3, mask.width)) {}

    void run() {
        const int h = marker_.height;
        std::memset(flags_, kNeedsForward | kNeedsBackward, static_cast<std::size_t>(h));
        bool pending = true;
        while (pending) {
            for (int y = 0; y < h; ++y) visit(y, kNeedsForward, y - 1);
            for (int y = h - 1; y >= 0; --y) visit(y, kNeedsBackward, y + 1);
            pending = false;
            for (int y = 0; y < h && !pending; ++y) pending = flags_[y] != 0;
        }
    }

private:
    void visit(int y, uint8_t flag, int neighbour) {
        if (!(flags_[y] & flag)) return;
        flags_[y] &= static_cast<uint8_t>(~flag);
        if (!process(y, neighbour)) return;
        if (y + 1 < marker_.height) flags_[y + 1] |= kNeedsForward;
        if (y > 0) flags_[y - 1] |= kNeedsBackward;
    }

    // Combines the neighbour row (if inside the image), then propagates
    // along the row left to right and right to left, always limited by the
    // mask. Returns whether any value changed.
    bool process(int y, int neighbour) {
        const int w = marker_.width;
        T* __restrict j = marker_.row(y);
        const T* __restrict lim = mask_.row(y);
        bool changed = false;
        const auto update = [&](int x, T candidate) {
            const T v = Limit::pick(Grow::pick(j[x], candidate), lim[x]);
            changed |= !sameValue(v, j[x]);
            j[x] = v;
        };
        if (neighbour >= 0 && neighbour < marker_.height) {
            const T* nb = marker_.row(neighbour);
            if (eight_) {
                widen_(nb, row_, w, 3, 1, nullptr);
                nb = row_;
            }
            for (int x = 0; x < w; ++x) update(x, nb[x]);
        } else {
            for (int x = 0; x < w; ++x) update(x, j[x]);
        }
        for (int x = 1; x < w; ++x) update(x, j[x - 1]);
        for (int x = w - 2; x >= 0; --x) update(x, j[x + 1]);
        return changed;
    }

    Image<const T> mask_;
    Image<T> marker_;
    T* row_;
    uint8_t* flags_;
    bool eight_;
    minmax::RowFilter<T> widen_;
};

template <class T>
StatusCode reconstructBufferSize(ImageSize roi, int* pBufferSize) {
    ZAL_CHECK(requireNonNull(pBufferSize));
    ZAL_CHECK(requireSize(roi));
    return storeSize(static_cast<long long>(roi.width) * static_cast<long long>(sizeof(T)) + roi.height + 64,
                     pBufferSize);
}

// The marker grows by Grow (Max: reconstruction by dilation) and is limited
// by the other extremum.
template <class T, class Grow>
StatusCode reconstruct(const T* pSrc, int srcStep, T* pSrcDst, int srcDstStep, ImageSize roi, uint8_t* pBuffer,
                       int norm) {
    ZAL_CHECK(requireNonNull(pSrc, pSrcDst, pBuffer));
    ZAL_CHECK(requireSize(roi));
    ZAL_CHECK((requireRowSteps<T, 1>(roi, srcStep, srcDstStep)));
    ZAL_CHECK(requireStepsAligned<T>(srcStep, srcDstStep));
    ZAL_CHECK(failIf(norm != 0 && norm != 1, StatusBadArgument));
    T* row = reinterpret_cast<T*>(alignUp(pBuffer, 32));
    uint8_t* flags = alignUp(reinterpret_cast<uint8_t*>(row + roi.width), 32);
    using Limit = std::conditional_t<std::is_same_v<Grow, minmax::Max>, minmax::Min, minmax::Max>;
    Reconstruction<T, Grow, Limit>(Image<const T>(pSrc, srcStep, roi), Image<T>(pSrcDst, srcDstStep, roi), row, flags,
                                   norm == 0)
        .run();
    return StatusOk;
}

}  // namespace
}  // namespace zal::morph

#define ZAL_RECONSTRUCT_SIZE(name, T)                                                                 \
    ZAL_DECLARED(name);                                                                               \
    extern "C" StatusCode name(ImageSize roiSize, int* pBufferSize) {                                 \
        return zal::morph::reconstructBufferSize<T>(roiSize, pBufferSize);                            \
    }
#define ZAL_RECONSTRUCT(name, T, Grow)                                                                \
    ZAL_DECLARED(name);                                                                               \
    extern "C" StatusCode name(const T* pSrc, int srcStep, T* pSrcDst, int srcDstStep,                \
                               ImageSize roiSize, uint8_t* pBuffer, int norm) {                       \
        return zal::morph::reconstruct<T, zal::minmax::Grow>(pSrc, srcStep, pSrcDst, srcDstStep,      \
                                                             roiSize, pBuffer, norm);                 \
    }
ZAL_MORPH_RECONSTRUCT_SIZE(ZAL_RECONSTRUCT_SIZE)
ZAL_MORPH_RECONSTRUCT(ZAL_RECONSTRUCT)
