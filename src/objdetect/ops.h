// The objdetect family's internal interface: unchecked integral builders,
// window deviations and Haar stages on image views. The exports call them
// after their documented checks.
#pragma once

#include <cstdint>

#include "core/image.h"
#include "objdetect/haar_state.h"
#include "zalcv.h"

namespace zal::objdetect {

// The two table geometries. Upright: row 0 and column 0 hold val, entry
// (y, x) adds the sum of the pixels above and left of it. Tilted: rows 0 and
// 1 hold val, row j + 2 sums the 45-degree cone of source rows 0..j, and the
// pixel right of the region counts as 0. 32s tables wrap modulo 2^32; 32f
// sums add the integer row sum (upright) or pixel pair (tilted) converted to
// float; 64f square tables add exact integer squares in double.
enum class Geometry { Upright, Tilted };

template <Geometry G>
struct IntegralTables {
    // Columns and rows a table has beyond its source; `table` views carry
    // the table's own size.
    static constexpr int kMargin = G == Geometry::Upright ? 1 : 2;
    template <class T>
    static void sums(Image<const uint8_t> src, Image<T> table, T val);
    template <class T, class Q>
    static void sumsAndSquares(Image<const uint8_t> src, Image<T> sum, Image<Q> sqr, T val, Q valSqr);
};
using Upright = IntegralTables<Geometry::Upright>;
using Tilted = IntegralTables<Geometry::Tilted>;

// Standard deviation of the window `rect` (G is Upright or Tilted) at
// every position of dst, from tables whose views start at the entry of
// output (0, 0). Out is float, or int32_t scaled by 2^-scaleFactor. The
// caller guarantees every corner lies inside the tables.
template <class G, class SumT, class SqrT, class OutT>
void rectStdDev(Image<const SumT> sum, Image<const SqrT> sqr, Image<OutT> dst, ImageRect rect, int scaleFactor);

// ---- Haar classifier states ------------------------------------------------

// The arrays a state is built from (element type V of the weights,
// thresholds and votes): `classifiers` classifiers of counts[k] >= 1
// rectangles each.
template <class V>
struct HaarInput {
    const ImageRect* rects;
    const V* weights;
    const V* thresholds;
    const V* val1;
    const V* val2;
    const int* counts;
    int classifiers;
    long long totalRects;
};

// Bytes of the block that holds a state built from `in`.
template <class State>
long long haarStateBytes(const HaarInput<typename HaarTraits<State>::Value>& in);
// Lays the state out in `block` (haarStateBytes(in) bytes, aligned) with
// every rectangle placed upright or tilted; false, with the block in an
// unspecified state, when a rectangle is invalid for the placement.
template <class State, class G>
bool buildHaarState(void* block, const HaarInput<typename HaarTraits<State>::Value>& in);
// Largest column of corner C and row of corner A over every rectangle.
template <class State>
ImageSize haarWindowSize(const State& state);
// Tilts the classifiers selected by mask (one byte per input index); mode 0
// picks the second tilted placement. The state must not be tilted yet.
template <class State>
void tiltHaarFeatures(const uint8_t* mask, int mode, State& state);

// Arithmetic of a stage application.
enum class HaarArith {
    Float,         // 32f tables and state; 2- and 3-rectangle groups have their own term order
    FloatInOrder,  // 32f tables and state; every feature summed left to right from 0
    IntToFloat,    // 32s tables, rectangle sums converted to float, float state
    Int,           // everything in wrapping 32-bit integers
    IntWide        // 32-bit products summed in 64 bits, shifted left by -scaleFactor
};

// What a stage application reads and writes. `tilted` (mixed operations
// only) starts at the tilted table's window origin, row 1 and column 1.
template <class Table, class Norm>
struct HaarImages {
    Image<const Table> upright, tilted;
    Image<const Norm> norm;
    Image<uint8_t> mask;
};

// Applies the stage to every window whose mask byte is set, clears the
// bytes of rejected windows and stores the number accepted. Parallel
// splits large regions into bands. -9 when the corner offsets cannot be
// allocated (nothing written then).
template <class Table, class State, HaarArith A, bool Mixed, bool Parallel>
StatusCode applyHaarStage(const HaarImages<Table, typename HaarTraits<State>::Value>& images,
                          typename HaarTraits<State>::Value threshold, const State& state, int scaleFactor,
                          int* accepted);

}  // namespace zal::objdetect
