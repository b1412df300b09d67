/* A minimal C program built against an installed zalcv: it must compile as C,
   link through the CMake package and see the version record. */
#include <zalcv.h>
#include <zalcore.h>
#include <stdio.h>
#include <string.h>

int main(void) {
    const LibraryVersion* v = zalcvGetLibVersion();
    unsigned char a[4] = {1, 2, 3, 250}, b[4] = {4, 2, 1, 5}, d[4];
    ImageSize roi = {4, 1};
    int threads = 0;
    if (v == NULL || v->majorVersion != 5 || strcmp(v->versionText, "5.1.1") != 0) return 1;
    if (zaliAbsDiff_8u_C1R(a, 4, b, 4, d, 4, roi) != StatusOk) return 2;
    if (d[0] != 3 || d[1] != 0 || d[2] != 2 || d[3] != 245) return 3;
    if (zalGetNumThreads(&threads) != 0 || threads < 1) return 4;
    printf("consumer ok: %s %s\n", v->libraryName, v->versionText);
    return 0;
}
