// Upright integral images: entry (y, x) of a (W + 1) x (H + 1) table is the
// offset value plus the sum (or sum of squares) of the source pixels above and
// left of it. Each row keeps a running sum of its source row and adds it to
// the entry above.
#include <cstdint>

#include "core/image.h"
#include "objdetect/internal.h"

namespace zal::objdetect {
namespace {

// Accumulation policies: Run is the running value over one source row,
// combine() adds it to the table entry above.
struct Sum32s {  // wrapping 32-bit sums
    using Elem = int32_t;
    using Run = uint32_t;
    static Run add(Run r, uint8_t p) { return r + p; }
    static Elem combine(Run r, Elem above) { return static_cast<Elem>(r + static_cast<uint32_t>(above)); }
};
struct Sum32f {  // integer running sum, converted and added in single precision
    using Elem = float;
    using Run = uint32_t;
    static Run add(Run r, uint8_t p) { return r + p; }
    static Elem combine(Run r, Elem above) { return static_cast<float>(static_cast<int32_t>(r)) + above; }
};
struct Sqr64f {  // squares summed in double precision
    using Elem = double;
    using Run = double;
    static Run add(Run r, uint8_t p) { return r + static_cast<double>(static_cast<int32_t>(p) * p); }
    static Elem combine(Run r, Elem above) { return above + r; }
};
struct Sqr32s {  // wrapping 32-bit sums of squares
    using Elem = int32_t;
    using Run = uint32_t;
    static Run add(Run r, uint8_t p) { return r + static_cast<uint32_t>(p) * p; }
    static Elem combine(Run r, Elem above) { return static_cast<Elem>(r + static_cast<uint32_t>(above)); }
};

// Builder of an upright table with policy P.
template <class P>
struct Upright {
    using Elem = typename P::Elem;
    static constexpr int kExtraColumns = 1;

    static void build(Image<const uint8_t> src, Image<Elem> table, Elem val) {
        const int w = src.width;
        Elem* top = table.row(0);
        for (int x = 0; x <= w; ++x) top[x] = val;
        for (int y = 1; y <= src.height; ++y) {
            const uint8_t* __restrict s = src.row(y - 1);
            const Elem* __restrict above = table.row(y - 1);
            Elem* __restrict cur = table.row(y);
            cur[0] = val;
            typename P::Run r{};
            for (int x = 0; x < w; ++x) {
                r = P::add(r, s[x]);
                cur[x + 1] = P::combine(r, above[x + 1]);
            }
        }
    }
};

}  // namespace
}  // namespace zal::objdetect

using namespace zal::objdetect;

extern "C" {

StatusCode zaliIntegral_8u32s_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, ImageSize roiSize,
                                  int32_t val) {
    return buildTables(pSrc, srcStep, roiSize, TableSpec<Upright<Sum32s>>{pDst, dstStep, val});
}
StatusCode zaliIntegral_8u32f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, ImageSize roiSize,
                                  float val) {
    return buildTables(pSrc, srcStep, roiSize, TableSpec<Upright<Sum32f>>{pDst, dstStep, val});
}
StatusCode zaliSqrIntegral_8u32s64f_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, double* pSqr,
                                        int sqrStep, ImageSize roiSize, int32_t val, double valSqr) {
    return buildTables(pSrc, srcStep, roiSize, TableSpec<Upright<Sum32s>>{pDst, dstStep, val},
                       TableSpec<Upright<Sqr64f>>{pSqr, sqrStep, valSqr});
}
StatusCode zaliSqrIntegral_8u32f64f_C1R(const uint8_t* pSrc, int srcStep, float* pDst, int dstStep, double* pSqr,
                                        int sqrStep, ImageSize roiSize, float val, double valSqr) {
    return buildTables(pSrc, srcStep, roiSize, TableSpec<Upright<Sum32f>>{pDst, dstStep, val},
                       TableSpec<Upright<Sqr64f>>{pSqr, sqrStep, valSqr});
}
StatusCode zaliSqrIntegral_8u32s_C1R(const uint8_t* pSrc, int srcStep, int32_t* pDst, int dstStep, int32_t* pSqr,
                                     int sqrStep, ImageSize roiSize, int32_t val, int32_t valSqr) {
    return buildTables(pSrc, srcStep, roiSize, TableSpec<Upright<Sum32s>>{pDst, dstStep, val},
                       TableSpec<Upright<Sqr32s>>{pSqr, sqrStep, valSqr});
}

}  // extern "C"
