// Building blocks shared by the operations and the demo, on the filter and
// feature families: Sobel pairs, corner strength and picking, and the
// smoothed gradient the watershed floods.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cli.h"

namespace cli {

// Sobel derivatives: dx positive where brightness rises to the right, dy
// where it rises downward (replicated border).
void sobelPair(const Image& src, ApertureSize mask, Image& dx, Image& dy) {
    int bytes = 0;
    if (src.depth == Depth::U8) {
        dx = Image(src.width, src.height, 1, Depth::S16);
        dy = Image(src.width, src.height, 1, Depth::S16);
        check(zaliFilterSobelHorizGetBufferSize_8u16s_C1R(src.roi(), mask, &bytes), "zaliFilterSobelHorizGetBufferSize_8u16s_C1R");
        int other = 0;
        check(zaliFilterSobelNegVertGetBufferSize_8u16s_C1R(src.roi(), mask, &other), "zaliFilterSobelNegVertGetBufferSize_8u16s_C1R");
        WorkBuffer work(std::max(bytes, other));
        check(zaliFilterSobelNegVertBorder_8u16s_C1R(src.data<uint8_t>(), src.step(), dx.data<int16_t>(), dx.step(),
                                                     src.roi(), mask, BorderReplicate, 0, work.get()),
              "zaliFilterSobelNegVertBorder_8u16s_C1R");
        check(zaliFilterSobelHorizBorder_8u16s_C1R(src.data<uint8_t>(), src.step(), dy.data<int16_t>(), dy.step(),
                                                   src.roi(), mask, BorderReplicate, 0, work.get()),
              "zaliFilterSobelHorizBorder_8u16s_C1R");
    } else {
        dx = Image(src.width, src.height, 1, Depth::F32);
        dy = Image(src.width, src.height, 1, Depth::F32);
        check(zaliFilterSobelHorizGetBufferSize_32f_C1R(src.roi(), mask, &bytes), "zaliFilterSobelHorizGetBufferSize_32f_C1R");
        int other = 0;
        check(zaliFilterSobelNegVertGetBufferSize_32f_C1R(src.roi(), mask, &other), "zaliFilterSobelNegVertGetBufferSize_32f_C1R");
        WorkBuffer work(std::max(bytes, other));
        check(zaliFilterSobelNegVertBorder_32f_C1R(src.data<float>(), src.step(), dx.data<float>(), dx.step(), src.roi(),
                                                   mask, BorderReplicate, 0.0f, work.get()),
              "zaliFilterSobelNegVertBorder_32f_C1R");
        check(zaliFilterSobelHorizBorder_32f_C1R(src.data<float>(), src.step(), dy.data<float>(), dy.step(), src.roi(),
                                                 mask, BorderReplicate, 0.0f, work.get()),
              "zaliFilterSobelHorizBorder_32f_C1R");
    }
}

Image minEigen(const Image& src, DerivKernelType kernel, int aperture, int window) {
    Image dst(src.width, src.height, 1, Depth::F32);
    int bytes = 0;
    if (src.depth == Depth::U8) {
        check(zaliMinEigenValGetBufferSize_8u32f_C1R(src.roi(), aperture, window, &bytes), "zaliMinEigenValGetBufferSize_8u32f_C1R");
        WorkBuffer work(bytes);
        check(zaliMinEigenVal_8u32f_C1R(src.data<uint8_t>(), src.step(), dst.data<float>(), dst.step(), src.roi(), kernel,
                                        aperture, window, work.get()),
              "zaliMinEigenVal_8u32f_C1R");
    } else {
        check(zaliMinEigenValGetBufferSize_32f_C1R(src.roi(), aperture, window, &bytes), "zaliMinEigenValGetBufferSize_32f_C1R");
        WorkBuffer work(bytes);
        check(zaliMinEigenVal_32f_C1R(src.data<float>(), src.step(), dst.data<float>(), dst.step(), src.roi(), kernel,
                                      aperture, window, work.get()),
              "zaliMinEigenVal_32f_C1R");
    }
    return dst;
}

std::vector<float> strongCorners(const Image& gray, int count, int minDistance, float quality) {
    const Image strength = minEigen(gray, DerivKernelSobel, 3, 5);
    const float* s = strength.data<float>();
    const int w = strength.width, h = strength.height;
    float best = 0;
    for (std::size_t i = 0; i < strength.samples(); ++i) best = std::max(best, s[i]);
    // Candidates: local maxima of the 3x3 neighbourhood above quality * best,
    // away from the border where the measure sees replicated pixels.
    struct Candidate {
        float v;
        int x, y;
    };
    std::vector<Candidate> cand;
    const float floor = quality * best;
    for (int y = 2; y < h - 2; ++y)
        for (int x = 2; x < w - 2; ++x) {
            const float v = s[static_cast<std::size_t>(y) * w + x];
            if (!(v > floor) || v <= 0) continue;
            bool peak = true;
            for (int j = -1; j <= 1 && peak; ++j)
                for (int i = -1; i <= 1; ++i)
                    if ((i || j) && s[static_cast<std::size_t>(y + j) * w + (x + i)] > v) peak = false;
            if (peak) cand.push_back({v, x, y});
        }
    std::stable_sort(cand.begin(), cand.end(), [](const Candidate& a, const Candidate& b) { return a.v > b.v; });
    std::vector<float> points;
    const long long d2 = static_cast<long long>(minDistance) * minDistance;
    for (const Candidate& c : cand) {
        if (static_cast<int>(points.size() / 2) >= count) break;
        bool far = true;
        for (std::size_t k = 0; k < points.size() && far; k += 2) {
            const long long dx = c.x - static_cast<long long>(points[k]), dy = c.y - static_cast<long long>(points[k + 1]);
            far = dx * dx + dy * dy >= d2;
        }
        if (far) points.insert(points.end(), {static_cast<float>(c.x), static_cast<float>(c.y)});
    }
    return points;
}

Image smoothedGradient(const Image& gray8, int passes) {
    Image smooth = gray8;
    if (passes > 0) {
        int bytes = 0;
        check(zaliFilterLowpassGetBufferSize_8u_C1R(gray8.roi(), Aperture5x5, &bytes), "zaliFilterLowpassGetBufferSize_8u_C1R");
        WorkBuffer work(bytes);
        Image tmp(gray8.width, gray8.height, 1, Depth::U8);
        for (int i = 0; i < passes; ++i) {
            check(zaliFilterLowpassBorder_8u_C1R(smooth.data<uint8_t>(), smooth.step(), tmp.data<uint8_t>(), tmp.step(),
                                                 smooth.roi(), Aperture5x5, BorderReplicate, 0, work.get()),
                  "zaliFilterLowpassBorder_8u_C1R");
            std::swap(smooth, tmp);
        }
    }
    Image dx, dy;
    sobelPair(smooth, Aperture3x3, dx, dy);
    Image relief(gray8.width, gray8.height, 1, Depth::U8);
    const int16_t* gx = dx.data<int16_t>();
    const int16_t* gy = dy.data<int16_t>();
    for (std::size_t i = 0; i < relief.samples(); ++i)
        relief.data<uint8_t>()[i] = static_cast<uint8_t>(std::min(255, (std::abs(gx[i]) + std::abs(gy[i])) / 8));
    return relief;
}

}  // namespace cli
