// Flood fill with the gradient rule: a pixel joins when it lies within
// [q - minDelta, q + maxDelta] of an adjacent region pixel q. Membership is
// kept in a byte mask with a frame of ones around the ROI, so scans need no
// column tests, and a run is painted only after its neighbours have been
// compared with its original values.
//
// Every region pixel is compared with each of its unmarked neighbours at
// some point (horizontal ones while its run grows, vertical and diagonal ones
// when its run is popped), so the region is exactly the set reachable from
// the seed through such steps, whatever the order of the stack.
#include <cstdint>
#include <cstring>

#include "core/export.h"
#include "region/exports.h"
#include "region/flood_fill_internal.h"
#include "region/ops.h"

namespace zal {
namespace {

using flood::Box;
using flood::Segment;
using flood::SegmentStack;

template <class T, int C>
struct Tolerance {
    T minDelta[C], maxDelta[C];

    // p within [q - minDelta, q + maxDelta] in every channel. 8u uses one
    // unsigned comparison: p + minDelta - q <= minDelta + maxDelta.
    bool near(const T* p, const T* q) const {
        bool ok = true;
        for (int c = 0; c < C; ++c) {
            if constexpr (std::is_same_v<T, float>) {
                ok &= q[c] - minDelta[c] <= p[c] && p[c] <= q[c] + maxDelta[c];
            } else {
                const unsigned d = static_cast<unsigned>(int(p[c]) + int(minDelta[c]) - int(q[c]));
                ok &= d <= static_cast<unsigned>(int(minDelta[c]) + int(maxDelta[c]));
            }
        }
        return ok;
    }
};

template <class T, int C, bool Eight>
class GradientFill {
public:
    GradientFill(Image<T> img, uint8_t* mask, const Tolerance<T, C>& tol, SegmentStack& stack, const T* newVal)
        : img_(img), mask_(mask), maskStep_(img.width + 2), tol_(tol), stack_(stack), newVal_(newVal) {
        // Frame rows and columns 1, interior 0.
        const int h = img.height;
        std::memset(mask_, 1, maskStep_);
        for (int y = 0; y < h; ++y) {
            uint8_t* m = maskRow(y);
            m[-1] = 1;
            std::memset(m, 0, img.width);
            m[img.width] = 1;
        }
        std::memset(maskRow(h), 1, maskStep_);
    }

    long long run(ImagePoint seed, Box& box) {
        const T* row = img_.row(seed.y);
        uint8_t* m = maskRow(seed.y);
        m[seed.x] = 1;
        int xl = seed.x, xr = seed.x;
        while (!m[xr + 1] && tol_.near(px(row, xr + 1), px(row, xr))) m[++xr] = 1;
        while (!m[xl - 1] && tol_.near(px(row, xl - 1), px(row, xl))) m[--xl] = 1;
        box = Box(seed.y, xl, xr);
        // The seed run first: if even this record does not fit, it is
        // painted at once.
        if (!stack_.push(Segment{seed.y, xl, xr, xr + 1, xr, 1})) paintRun(seed.y, xl, xr, box);
        constexpr int e = Eight ? 1 : 0;
        Segment s;
        while (stack_.pop(s)) {
            box.add(s.y, s.xl, s.xr);
            scan(s.y - s.dir, s.xl - e, s.xr + e, s, s.dir, box);
            scan(s.y + s.dir, s.xl - e, s.pl - 1, s, -s.dir, box);
            scan(s.y + s.dir, s.pr + 1, s.xr + e, s, -s.dir, box);
            paintRun(s.y, s.xl, s.xr, box);
        }
        return area_;
    }

private:
    uint8_t* maskRow(int y) const { return mask_ + static_cast<std::ptrdiff_t>(y + 1) * maskStep_ + 1; }
    static const T* px(const T* row, int x) { return row + static_cast<std::ptrdiff_t>(x) * C; }

    void paintRun(int y, int xl, int xr, Box& box) {
        T* row = img_.row(y);
        for (int x = xl; x <= xr; ++x)
            for (int c = 0; c < C; ++c) row[static_cast<std::ptrdiff_t>(x) * C + c] = newVal_[c];
        area_ += xr - xl + 1;
        box.add(y, xl, xr);
    }

    // Whether pixel x of `row` is within range of a pixel of the popped run
    // `from` adjacent to it (8-connected: any of the three above or below).
    bool nearRun(const T* row, int x, const T* fromRow, const Segment& from) const {
        const T* p = px(row, x);
        if constexpr (Eight) {
            const int lo = x - 1 > from.xl ? x - 1 : from.xl;
            const int hi = x + 1 < from.xr ? x + 1 : from.xr;
            for (int k = lo; k <= hi; ++k)
                if (tol_.near(p, px(fromRow, k))) return true;
            return false;
        } else {
            return x >= from.xl && x <= from.xr && tol_.near(p, px(fromRow, x));
        }
    }

    // Scans row y over [a, b] next to the popped run `from` and pushes every
    // new run with direction dir and parent span [from.xl, from.xr].
    void scan(int y, int a, int b, const Segment& from, int dir, Box& box) {
        // The frame rows would stop the scan anyway; the test keeps row
        // pointers inside the image.
        if (static_cast<unsigned>(y) >= static_cast<unsigned>(img_.height)) return;
        const T* row = img_.row(y);
        const T* fromRow = img_.row(from.y);
        uint8_t* m = maskRow(y);
        for (int x = a; x <= b;) {
            if (m[x] || !nearRun(row, x, fromRow, from)) {
                ++x;
                continue;
            }
            m[x] = 1;
            int xl = x, xr = x;
            while (!m[xl - 1] && tol_.near(px(row, xl - 1), px(row, xl))) m[--xl] = 1;
            while (!m[xr + 1] &&
                   (tol_.near(px(row, xr + 1), px(row, xr)) || nearRun(row, xr + 1, fromRow, from)))
                m[++xr] = 1;
            // A run that finds no room on the stack is painted at once; its
            // own neighbours are then not visited (the fill is cut short, the
            // buffer is never overrun).
            if (!stack_.push(Segment{y, xl, xr, from.xl, from.xr, dir})) paintRun(y, xl, xr, box);
            x = xr + 2;  // xr + 1 was compared with everything it touches
        }
    }

    Image<T> img_;
    uint8_t* mask_;
    int maskStep_;
    const Tolerance<T, C>& tol_;
    SegmentStack& stack_;
    const T* newVal_;
    long long area_ = 0;
};

}  // namespace

template <class T, int C, int Connectivity>
void region::floodFillGradient(Image<T> img, ImagePoint seed, const T* newVal, const T* minDelta, const T* maxDelta,
                               ConnectedComponent* region, uint8_t* buffer) {
    const ImageSize roi{img.width, img.height};
    Tolerance<T, C> tol;
    for (int c = 0; c < C; ++c) tol.minDelta[c] = minDelta[c], tol.maxDelta[c] = maxDelta[c];
    const long long maskSize = flood::maskBytes(roi).value();
    SegmentStack stack(buffer + maskSize, buffer + maskSize + flood::fillBufferSize(roi).value());
    Box box(0, 0, 0);
    // A local copy of the new value: the painting stores (8u ones may alias
    // anything) then need not reload it.
    T value[C];
    for (int c = 0; c < C; ++c) value[c] = newVal[c];
    GradientFill<T, C, Connectivity == 8> fill(img, buffer, tol, stack, value);
    const long long area = fill.run(seed, box);
    flood::writeRecord<T, C>(region, area, value, box);
}

namespace {

template <class T, int C, int Connectivity>
StatusCode gradientFill(T* pImage, int imageStep, ImageSize roi, ImagePoint seed, const T* newVal, const T* minDelta,
                        const T* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer) {
    ZAL_CHECK((flood::checkFill<T, C>(pImage, imageStep, roi, seed, pRegion, pBuffer, newVal, minDelta, maxDelta)));
    if constexpr (std::is_same_v<T, float>) {
        for (int c = 0; c < C; ++c)
            ZAL_CHECK(failIf(!(minDelta[c] >= 0.0f) || !(maxDelta[c] >= 0.0f), StatusOutOfRange));
    }
    region::floodFillGradient<T, C, Connectivity>(image(pImage, imageStep, roi), seed, newVal, minDelta, maxDelta,
                                                  pRegion, pBuffer);
    return StatusOk;
}

}  // namespace
}  // namespace zal

#define ZAL_FLOOD_FILL_GRAD(name, T, C, conn) \
    ZAL_FLOOD_FILL_WITH_DELTAS(name, T, C, conn, floodFillGradient, gradientFill)
ZAL_REGION_FLOOD_FILL_GRAD(ZAL_FLOOD_FILL_GRAD)
