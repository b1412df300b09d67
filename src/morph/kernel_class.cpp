// Classification of a structuring element into Empty, Rectangle, Ellipse or
// General, made once when a state is built.
#include <cstdint>

#include "morph/internal.h"

namespace zal::morph {

void classifyKernel(const uint8_t* mask, ImageSize maskSize, ImagePoint anchor, bool noEllipse, Classification& out,
                    bool* structuralEllipse) {
    const int mw = maskSize.width, mh = maskSize.height;
    const int ax = anchor.x, ay = anchor.y;
    if (structuralEllipse) *structuralEllipse = false;
    out = Classification{};

    bool any = false;
    for (std::ptrdiff_t i = 0; mh >= 1 && i < static_cast<std::ptrdiff_t>(mw) * mh && !any; ++i) any = mask[i] != 0;
    if (!any) {
        out.kind = KernelEmpty;
        return;
    }
    out.kind = KernelGeneral;
    if (mh >= kMaxEllipseHeight) return;

    // One run per non-empty row: its row, start and length.
    int rowOf[kMaxEllipseHeight], startOf[kMaxEllipseHeight], lengthOf[kMaxEllipseHeight];
    int count = 0, minStart = mw, maxEnd = 0;
    int misfits = noEllipse ? 1 : 0;
    for (int r = 0; r < mh; ++r) {
        const uint8_t* row = mask + static_cast<std::ptrdiff_t>(r) * mw;
        int s = 0;
        while (s < mw && row[s] == 0) ++s;
        if (s == mw) continue;
        int e = s;
        while (e < mw && row[e] != 0) ++e;
        for (int k = e; k < mw; ++k)
            if (row[k] != 0) return;  // two runs in one row
        rowOf[count] = r;
        startOf[count] = s;
        lengthOf[count] = e - s;
        ++count;
        if (s < minStart) minStart = s;
        if (e > maxEnd) maxEnd = e;
        if (ax < s || ax >= e) ++misfits;
    }
    const int r0 = rowOf[0], r1 = rowOf[count - 1];
    if (ay < r0 || ay > r1) ++misfits;

    bool solid = count - 1 == r1 - r0;
    for (int k = 1; k < count && solid; ++k) solid = lengthOf[k] == lengthOf[0] && startOf[k] == startOf[0];
    if (solid) {
        out.kind = KernelRectangle;
        out.geometry = RectangleInfo{maxEnd - minStart, count, ax - minStart, ay - r0};
        return;
    }

    // Distinct run lengths, longest first; equal lengths must start in the
    // same column (the same anchor offset).
    int d = 0;
    for (int k = 0; k < count; ++k) {
        const int len = lengthOf[k], offset = ax - startOf[k];
        int pos = 0;
        while (pos < d && out.lengths[pos] > len) ++pos;
        if (pos < d && out.lengths[pos] == len) {
            if (out.offsets[pos] != offset) return;
            continue;
        }
        for (int m = d; m > pos; --m) {
            out.lengths[m] = out.lengths[m - 1];
            out.offsets[m] = out.offsets[m - 1];
        }
        out.lengths[pos] = len;
        out.offsets[pos] = offset;
        ++d;
    }
    for (int k = 0; k < count; ++k) {
        out.rowIndex[k] = rowOf[k] - r0;
        int pos = 0;
        while (out.lengths[pos] != lengthOf[k]) ++pos;
        out.lengthIndex[k] = pos;
    }
    out.rows = count;
    out.distinct = d;
    out.geometry = RectangleInfo{maxEnd - minStart, r1 - r0 + 1, ax - minStart, ay - r0};
    if (structuralEllipse) *structuralEllipse = !noEllipse;
    if (misfits == 0) out.kind = KernelEllipse;
}

}  // namespace zal::morph
