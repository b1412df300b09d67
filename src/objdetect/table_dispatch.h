// The five table builders of one geometry (Upright or Tilted), named
// <Geometry>Sums32s, <Geometry>Sums32f, <Geometry>Squares32s64f,
// <Geometry>Squares32f64f and <Geometry>Squares32s32s: their scalar-target
// definitions from the reference row builders, and the geometry's members
// that dispatch to the widest compiled target at run time.
#pragma once

// Inside the scalar target's namespace: each builder runs the reference
// builders named by the four row kinds (sums 32s/32f, squares 64f/32s).
#define ZAL_TABLE_SCALAR_BUILDERS(G, Sum32s, Sum32f, Sqr64f, Sqr32s)                                            \
    void G##Sums32s(Image<const uint8_t> src, Image<int32_t> t, int32_t val) { build<Sum32s>(src, t, val); }     \
    void G##Sums32f(Image<const uint8_t> src, Image<float> t, float val) { build<Sum32f>(src, t, val); }         \
    void G##Squares32s64f(Image<const uint8_t> src, Image<int32_t> t, Image<double> q, int32_t val,              \
                          double valSqr) {                                                                       \
        build<Sum32s>(src, t, val), build<Sqr64f>(src, q, valSqr);                                               \
    }                                                                                                            \
    void G##Squares32f64f(Image<const uint8_t> src, Image<float> t, Image<double> q, float val, double valSqr) { \
        build<Sum32f>(src, t, val), build<Sqr64f>(src, q, valSqr);                                               \
    }                                                                                                            \
    void G##Squares32s32s(Image<const uint8_t> src, Image<int32_t> t, Image<int32_t> q, int32_t val,             \
                          int32_t valSqr) {                                                                      \
        build<Sum32s>(src, t, val), build<Sqr32s>(src, q, valSqr);                                               \
    }

// In namespace zal, once (HWY_ONCE): the dispatch tables and the members
// objdetect::G::sums and objdetect::G::sumsAndSquares.
#define ZAL_TABLE_DISPATCH(G)                                                                                    \
    HWY_EXPORT(G##Sums32s);                                                                                      \
    HWY_EXPORT(G##Sums32f);                                                                                      \
    HWY_EXPORT(G##Squares32s64f);                                                                                \
    HWY_EXPORT(G##Squares32f64f);                                                                                \
    HWY_EXPORT(G##Squares32s32s);                                                                                \
    namespace objdetect {                                                                                        \
    template <>                                                                                                  \
    template <class T>                                                                                           \
    void G::sums(Image<const uint8_t> src, Image<T> table, T val) {                                              \
        if constexpr (std::is_same_v<T, int32_t>) HWY_DYNAMIC_DISPATCH(G##Sums32s)(src, table, val);             \
        else HWY_DYNAMIC_DISPATCH(G##Sums32f)(src, table, val);                                                  \
    }                                                                                                            \
    template <>                                                                                                  \
    template <class T, class Q>                                                                                  \
    void G::sumsAndSquares(Image<const uint8_t> src, Image<T> sum, Image<Q> sqr, T val, Q valSqr) {              \
        if constexpr (std::is_same_v<Q, int32_t>) HWY_DYNAMIC_DISPATCH(G##Squares32s32s)(src, sum, sqr, val, valSqr); \
        else if constexpr (std::is_same_v<T, int32_t>)                                                           \
            HWY_DYNAMIC_DISPATCH(G##Squares32s64f)(src, sum, sqr, val, valSqr);                                  \
        else HWY_DYNAMIC_DISPATCH(G##Squares32f64f)(src, sum, sqr, val, valSqr);                                 \
    }                                                                                                            \
    }  // namespace objdetect
