// Bouncing (mirror without repeating the edge) reflection of index i into [0, n).
#pragma once

inline int bounce(int i, int n) {
    if (n == 1) return 0;
    while (i < 0 || i >= n) i = i < 0 ? -i : 2 * n - 2 - i;
    return i;
}
