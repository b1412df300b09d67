// One general pyramid level down: smooth with the state's normalised kernel
// (reflected borders), then sample every rate-th pixel.
//
// 8u keeps the smoothed image at 8 times its value in 16 bits: rows are
// filtered to 32x (>> 8 of the Q13 sum), columns to 8x ((sum + 2^14) >> 15,
// saturated), and the output is (v + 4) >> 3. 16u follows the same scales in
// 32-bit intermediates (nothing saturates before the final clamp); 32f has no
// rounding steps.
//
// Steps need only cover a row, so 16u and 32f rows may start at any byte:
// source and destination elements move with unaligned loads and stores.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "core/checks.h"
#include "core/image.h"
#include "core/unaligned.h"
#include "pyramid/exports.h"
#include "pyramid/internal.h"
#include "pyramid/ops.h"

namespace zal {
namespace {

template <class T>
using Work = std::conditional_t<std::is_same_v<T, float>, float, int32_t>;

template <class T, int C>
class DownSmoother {
public:
    using W = Work<T>;
    using K = LayerKernel<T>;

    DownSmoother(const PyramidLayerState& st, Image<const T> src)
        : q_(static_cast<const K*>(st.kernel)), ker_(st.kerSize), c_(st.kerSize / 2), src_(src),
          rowElems_(static_cast<std::ptrdiff_t>(src.width) * C), ringRows_(std::min(st.kerSize, src.height)),
          large_(src.width > st.kerSize && src.height > st.kerSize) {
        W* w1 = static_cast<W*>(st.work1);
        // The ring was sized for the state's source: its slots keep that stride.
        const std::ptrdiff_t stateRow = static_cast<std::ptrdiff_t>(st.srcWidth) * C;
        const int stateRing = std::min(st.kerSize, st.srcHeight);
        ring_ = w1;
        ringStride_ = stateRow;
        bordered_ = w1 + stateRing * stateRow;
        ringTag_ = reinterpret_cast<int32_t*>(bordered_ + (static_cast<std::ptrdiff_t>(st.srcWidth) + ker_ - 1) * C);
        for (int k = 0; k < ringRows_; ++k) ringTag_[k] = -1;
        W* w2 = static_cast<W*>(st.work2);
        smooth_[0] = w2;
        smooth_[1] = w2 + stateRow;
        interp_ = w2 + 2 * stateRow;
    }

    W* interpRow() const { return interp_; }

    // Smoothed row y (cached in two slots).
    const W* smoothed(int y) {
        W* out = smooth_[y & 1];
        if (smoothTag_[y & 1] == y) return out;
        smoothTag_[y & 1] = y;
        const int H = src_.height;
        const W* rows[512];
        const W** taps = ker_ <= 512 ? rows : nullptr;
        for (int i = 0; taps && i < ker_; ++i) taps[i] = filtered(reflectBounce(y + i - c_, H));
        for (std::ptrdiff_t x = 0; x < rowElems_; ++x) {
            auto row = [&](int i) { return taps ? taps[i][x] : filtered(reflectBounce(y + i - c_, H))[x]; };
            if constexpr (std::is_same_v<T, float>) {
                float acc = q_[c_] * row(c_);
                for (int i = 0; i < c_; ++i) acc += q_[i] * (row(i) + row(ker_ - 1 - i));
                out[x] = acc;
            } else {
                int64_t acc = 0;
                for (int i = 0; i < ker_; ++i) acc += static_cast<int64_t>(q_[i]) * row(i);
                const int64_t v = (acc + (1 << 14)) >> 15;
                if constexpr (std::is_same_v<T, uint8_t>) out[x] = static_cast<W>(std::clamp<int64_t>(v, -32768, 32767));
                else out[x] = static_cast<W>(v);
            }
        }
        return out;
    }

private:
    // Row-filtered source row r (32x for the integer types).
    const W* filtered(int r) {
        const int slot = r % ringRows_;
        W* out = ring_ + slot * ringStride_;
        if (ringTag_[slot] == r) return out;
        ringTag_[slot] = r;
        const auto* s = src_.rowBytes(r);
        const int Wd = src_.width;
        for (int x = -c_; x < Wd + c_; ++x) {
            const std::ptrdiff_t p = static_cast<std::ptrdiff_t>(reflectBounce(x, Wd)) * C;
            for (int ch = 0; ch < C; ++ch) bordered_[(x + c_) * C + ch] = static_cast<W>(loadUnaligned<T>(s, p + ch));
        }
        for (std::ptrdiff_t e = 0; e < rowElems_; ++e) {
            const W* b = bordered_ + e;  // tap j of element e is b[j * C]
            if constexpr (std::is_same_v<T, float>) {
                float acc = q_[c_] * b[c_ * C];
                for (int j = 0; j < c_; ++j) acc += q_[j] * (b[j * C] + b[(ker_ - 1 - j) * C]);
                out[e] = acc;
            } else if (large_) {
                // Symmetric taps are added before multiplying; one shift at the end.
                int64_t acc = static_cast<int64_t>(q_[c_]) * b[c_ * C];
                for (int j = 0; j < c_; ++j) acc += static_cast<int64_t>(q_[j]) * (b[j * C] + b[(ker_ - 1 - j) * C]);
                out[e] = static_cast<W>(acc >> 8);
            } else {
                // Small images: every product is shifted before summing.
                int64_t acc = 0;
                for (int j = 0; j < ker_; ++j) acc += (static_cast<int64_t>(b[j * C]) * q_[j]) >> 8;
                out[e] = static_cast<W>(acc);
            }
        }
        return out;
    }

    const K* q_;
    int ker_, c_;
    Image<const T> src_;
    std::ptrdiff_t rowElems_;
    int ringRows_;
    bool large_;
    W* ring_ = nullptr;
    std::ptrdiff_t ringStride_ = 0;
    W* bordered_ = nullptr;
    int32_t* ringTag_ = nullptr;
    W* smooth_[2] = {nullptr, nullptr};
    int smoothTag_[2] = {-1, -1};
    W* interp_ = nullptr;
};

// p0 (1 - f) + p1 f in single precision; the integer types add 0.5 and
// truncate (8u to 16 bits).
template <class T>
inline Work<T> lerp(Work<T> p0, Work<T> p1, float f) {
    const float v = static_cast<float>(p0) * (1.0f - f) + static_cast<float>(p1) * f;
    if constexpr (std::is_same_v<T, float>) return v;
    else if constexpr (std::is_same_v<T, uint8_t>) return static_cast<int16_t>(static_cast<int32_t>(v + 0.5f));
    else return static_cast<int32_t>(v + 0.5f);
}

template <class T>
inline T output(Work<T> v) {
    if constexpr (std::is_same_v<T, float>) return v;
    else return static_cast<T>(std::clamp<int32_t>((v + 4) >> 3, 0, std::numeric_limits<T>::max()));
}

}  // namespace

namespace pyramid {

template <class T, int C>
void layerDown(Image<const T> src, Image<T> dst, const PyramidLayerState& state) {
    using W = Work<T>;
    const ImageSize dstRoi{dst.width, dst.height};
    const float rate = state.rate;
    DownSmoother<T, C> smoother(state, src);
    const double r = static_cast<double>(rate);
    if (r >= 1.99998 && r <= 2.00002) {
        for (int y = 0; y < dstRoi.height; ++y) {
            const W* s = smoother.smoothed(2 * y);
            auto* d = dst.rowBytes(y);
            for (int x = 0; x < dstRoi.width; ++x)
                for (int ch = 0; ch < C; ++ch) storeUnaligned<T>(d, x * C + ch, output<T>(s[2 * x * C + ch]));
        }
        return;
    }
    const int H = src.height, Wd = src.width;
    W* rowI = smoother.interpRow();
    for (int y = 0; y < dstRoi.height; ++y) {
        const float yr = static_cast<float>(y) * rate;
        const int iy = std::min(static_cast<int>(yr), H - 1);
        const float fy = yr - static_cast<float>(iy);
        const W* s0 = smoother.smoothed(iy);
        if (iy + 1 < H) {
            const W* s1 = smoother.smoothed(iy + 1);
            for (std::ptrdiff_t e = 0; e < static_cast<std::ptrdiff_t>(Wd) * C; ++e) rowI[e] = lerp<T>(s0[e], s1[e], fy);
        } else {
            std::copy(s0, s0 + static_cast<std::ptrdiff_t>(Wd) * C, rowI);
        }
        auto* d = dst.rowBytes(y);
        for (int x = 0; x < dstRoi.width; ++x) {
            const float xr = static_cast<float>(x) * rate;
            const int ix = std::min(static_cast<int>(xr), Wd - 1);
            const float fx = xr - static_cast<float>(ix);
            for (int ch = 0; ch < C; ++ch) {
                const W p0 = rowI[ix * C + ch];
                storeUnaligned<T>(d, x * C + ch, output<T>(ix + 1 < Wd ? lerp<T>(p0, rowI[(ix + 1) * C + ch], fx) : p0));
            }
        }
    }
}

}  // namespace pyramid
}  // namespace zal

#define ZAL_LAYER_DOWN_INSTANCE(name, T, C) \
    template void zal::pyramid::layerDown<T, C>(zal::Image<const T>, zal::Image<T>, const PyramidLayerState&);
ZAL_PYRAMID_LAYER_DOWN(ZAL_LAYER_DOWN_INSTANCE)
