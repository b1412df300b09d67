// The vector kernel of the exact distance transform's row finish.
#pragma once

namespace zal::region::exact {

// row[x] = sqrt(row[x]) for x < n (row[x] >= 0), rounded as the scalar
// square root rounds, on the widest vector unit present.
void sqrtRow(float* row, int n);

}  // namespace zal::region::exact
