// Flood fill with the plain rule (pixels equal to the seed) and the range rule
// (pixels within a fixed range around the seed): scan-line filling with an
// explicit segment stack. Filled pixels are recognised by the image itself,
// because they no longer qualify once painted; a range that contains newVal
// keeps a bit per pixel in the buffer instead.
#include <cstdint>
#include <cstring>

#include "region/exports.h"
#include "region/flood_fill_internal.h"
#include "region/internal.h"
#include "region/ops.h"

namespace zal {
namespace {

using flood::Box;
using flood::Segment;
using flood::SegmentStack;

// Per-channel bounds [low, high] that a pixel must meet, with an optional
// bit per pixel marking what is already filled.
template <class T, int C>
struct Membership {
    T low[C], high[C];
    uint8_t* filledBits = nullptr;  // null when painted pixels cannot qualify
    int width = 0;

    bool inRange(const T* p) const {
        bool ok = true;
        for (int c = 0; c < C; ++c) ok &= low[c] <= p[c] && p[c] <= high[c];
        return ok;
    }
    bool filled(int x, int y) const {
        const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(y) * width + x;
        return (filledBits[i >> 3] >> (i & 7)) & 1;
    }
    void markFilled(int x, int y) {
        const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(y) * width + x;
        filledBits[i >> 3] = static_cast<uint8_t>(filledBits[i >> 3] | (1u << (i & 7)));
    }
};

template <class T, int C, bool Bits>
class ScanFill {
public:
    ScanFill(Image<T> img, const T* newVal, Membership<T, C>& rule, SegmentStack& stack)
        : img_(img), newVal_(newVal), rule_(rule), stack_(stack) {}

    bool qualifies(const T* row, int x, int y) const {
        if constexpr (Bits) {
            if (rule_.filled(x, y)) return false;
        }
        return rule_.inRange(row + static_cast<std::ptrdiff_t>(x) * C);
    }
    void paint(T* row, int x, int y) {
        for (int c = 0; c < C; ++c) row[static_cast<std::ptrdiff_t>(x) * C + c] = newVal_[c];
        if constexpr (Bits) rule_.markFilled(x, y);
    }

    // Paints the run through (x, y), extending left and right while pixels
    // qualify; returns its ends.
    [[gnu::always_inline]] void paintRun(T* row, int x, int y, int& xl, int& xr) {
        paint(row, x, y);
        xl = xr = x;
        while (xr + 1 < img_.width && qualifies(row, xr + 1, y)) paint(row, ++xr, y);
        while (xl > 0 && qualifies(row, xl - 1, y)) paint(row, --xl, y);
        area_ += xr - xl + 1;
    }

    // Scans row y over [a, b] (clipped) for new runs and pushes each with the
    // given parent span and direction.
    [[gnu::always_inline]] void scan(int y, int a, int b, int pl, int pr, int dir) {
        if (a < 0) a = 0;
        if (b > img_.width - 1) b = img_.width - 1;
        T* row = img_.row(y);
        for (int x = a; x <= b;) {
            if (!qualifies(row, x, y)) {
                ++x;
                continue;
            }
            int xl, xr;
            paintRun(row, x, y, xl, xr);
            // With the stack full the run stays painted but its neighbours
            // are not visited: the fill is cut short rather than overrunning
            // the buffer.
            stack_.push(Segment{y, xl, xr, pl, pr, dir});
            x = xr + 2;  // xr + 1 did not qualify
        }
    }

    // Inlined with scan() into the fill of each rule, which keeps the rule's
    // bounds and the new value in registers across the 8u stores (an
    // out-of-line call shared by both rules reloads them: a fifth more
    // instructions for the 8u range fill, measured).
    template <bool Eight>
    [[gnu::always_inline]] long long run(ImagePoint seed, Box& box) {
        const int h = img_.height;
        int xl, xr;
        paintRun(img_.row(seed.y), seed.x, seed.y, xl, xr);
        box = Box(seed.y, xl, xr);
        if (h == 1) return area_;
        // An empty parent span, so both neighbouring rows are scanned in full.
        stack_.push(Segment{seed.y, xl, xr, xr + 1, xr, seed.y == h - 1 ? -1 : 1});
        constexpr int e = Eight ? 1 : 0;
        Segment s;
        while (stack_.pop(s)) {
            box.add(s.y, s.xl, s.xr);
            const int child = s.y - s.dir;
            if (static_cast<unsigned>(child) < static_cast<unsigned>(h)) scan(child, s.xl - e, s.xr + e, s.xl, s.xr, s.dir);
            const int parent = s.y + s.dir;
            if (static_cast<unsigned>(parent) < static_cast<unsigned>(h)) {
                scan(parent, s.xl - e, s.pl - 1, s.xl, s.xr, -s.dir);
                scan(parent, s.pr + 1, s.xr + e, s.xl, s.xr, -s.dir);
            }
        }
        return area_;
    }

private:
    Image<T> img_;
    const T* newVal_;
    Membership<T, C>& rule_;
    SegmentStack& stack_;
    long long area_ = 0;
};

enum class Rule { Plain, Range };

// 8u range bounds are clamped to 0..255; 32f bounds are plain float sums.
template <class T>
void rangeBounds(T seed, T minDelta, T maxDelta, T& low, T& high) {
    if constexpr (std::is_same_v<T, float>) {
        low = seed - minDelta;
        high = seed + maxDelta;
    } else {
        const int lo = int(seed) - int(minDelta), hi = int(seed) + int(maxDelta);
        low = static_cast<T>(lo < 0 ? 0 : lo);
        high = static_cast<T>(hi > 255 ? 255 : hi);
    }
}

template <class T, int C, bool Eight, Rule R>
void fill(Image<T> img, ImagePoint seed, const T* newVal, const T* minDelta, const T* maxDelta,
          ConnectedComponent* pRegion, uint8_t* pBuffer) {
    const ImageSize roi{img.width, img.height};
    const T* seedPixel = img.row(seed.y) + static_cast<std::ptrdiff_t>(seed.x) * C;
    // A seed already holding newVal (32f: neither less nor greater in any
    // channel) is left alone.
    bool same = true;
    for (int c = 0; c < C; ++c) same &= !(seedPixel[c] < newVal[c]) && !(seedPixel[c] > newVal[c]);
    if (same) return;

    Membership<T, C> rule;
    rule.width = roi.width;
    for (int c = 0; c < C; ++c) {
        if constexpr (R == Rule::Plain) rule.low[c] = rule.high[c] = seedPixel[c];
        else rangeBounds(seedPixel[c], minDelta[c], maxDelta[c], rule.low[c], rule.high[c]);
    }
    // Painted pixels qualify again when newVal lies in the range: then a bit
    // per pixel, at the start of the buffer, records what is filled.
    unsigned char* stackBegin = pBuffer;
    unsigned char* const end = pBuffer + flood::fillBufferSize(roi).value();
    const bool bits = R == Rule::Range && rule.inRange(newVal);
    if (bits) {
        const std::size_t bitBytes = (static_cast<std::size_t>(roi.width) * roi.height + 7) / 8;
        std::memset(pBuffer, 0, bitBytes);
        rule.filledBits = pBuffer;
        stackBegin += bitBytes;
    }
    SegmentStack stack(stackBegin, end);
    Box box(0, 0, 0);
    // A local copy of the new value: the painting stores (8u ones may alias
    // anything) then need not reload it.
    T value[C];
    for (int c = 0; c < C; ++c) value[c] = newVal[c];
    long long area;
    if (bits) area = ScanFill<T, C, true>(img, value, rule, stack).template run<Eight>(seed, box);
    else area = ScanFill<T, C, false>(img, value, rule, stack).template run<Eight>(seed, box);
    flood::writeRecord<T, C>(pRegion, area, value, box);
}

}  // namespace

ByteCount region::floodFillBytes(ImageSize roi) { return flood::fillBufferSize(roi); }
ByteCount region::gradientFillBytes(ImageSize roi) { return flood::fillBufferSize(roi) + flood::maskBytes(roi); }

template <class T, int C, int Connectivity>
void region::floodFill(Image<T> img, ImagePoint seed, const T* newVal, ConnectedComponent* region, uint8_t* buffer) {
    fill<T, C, Connectivity == 8, Rule::Plain>(img, seed, newVal, nullptr, nullptr, region, buffer);
}

template <class T, int C, int Connectivity>
void region::floodFillRange(Image<T> img, ImagePoint seed, const T* newVal, const T* minDelta, const T* maxDelta,
                            ConnectedComponent* region, uint8_t* buffer) {
    fill<T, C, Connectivity == 8, Rule::Range>(img, seed, newVal, minDelta, maxDelta, region, buffer);
}

namespace {

// Plain rule: no deltas; newVal stands in for them in the null test.
template <class T, int C, int Connectivity>
StatusCode plainFill(T* pImage, int imageStep, ImageSize roi, ImagePoint seed, const T* newVal,
                     ConnectedComponent* pRegion, uint8_t* pBuffer) {
    ZAL_CHECK((flood::checkFill<T, C>(pImage, imageStep, roi, seed, pRegion, pBuffer, newVal, newVal, newVal)));
    region::floodFill<T, C, Connectivity>(image(pImage, imageStep, roi), seed, newVal, pRegion, pBuffer);
    return StatusOk;
}

template <class T, int C, int Connectivity>
StatusCode rangeFill(T* pImage, int imageStep, ImageSize roi, ImagePoint seed, const T* newVal, const T* minDelta,
                     const T* maxDelta, ConnectedComponent* pRegion, uint8_t* pBuffer) {
    ZAL_CHECK((flood::checkFill<T, C>(pImage, imageStep, roi, seed, pRegion, pBuffer, newVal, minDelta, maxDelta)));
    region::floodFillRange<T, C, Connectivity>(image(pImage, imageStep, roi), seed, newVal, minDelta, maxDelta,
                                               pRegion, pBuffer);
    return StatusOk;
}

}  // namespace
}  // namespace zal

ZAL_REGION_FLOOD_FILL_SIZE(ZAL_REGION_SIZE_QUERY)

#define ZAL_FLOOD_FILL(name, T, C, conn)                                                                          \
    ZAL_DECLARED(name);                                                                                           \
    template void zal::region::floodFill<T, C, conn>(zal::Image<T>, ImagePoint, const T*, ConnectedComponent*,    \
                                                     uint8_t*);                                                   \
    extern "C" StatusCode name(T* pImage, int imageStep, ImageSize roiSize, ImagePoint seed,                      \
                               zal::flood::FillArg<T, C> newVal, ConnectedComponent* pRegion, uint8_t* pBuffer) { \
        return zal::plainFill<T, C, conn>(pImage, imageStep, roiSize, seed, zal::flood::values(newVal), pRegion,  \
                                          pBuffer);                                                               \
    }
#define ZAL_FLOOD_FILL_RANGE(name, T, C, conn) ZAL_FLOOD_FILL_WITH_DELTAS(name, T, C, conn, floodFillRange, rangeFill)
ZAL_REGION_FLOOD_FILL(ZAL_FLOOD_FILL)
ZAL_REGION_FLOOD_FILL_RANGE(ZAL_FLOOD_FILL_RANGE)
