// Runs a test body once per SIMD target that the library was compiled for and
// this processor supports (AVX-512, AVX2, SSE4, scalar, ...). The library
// picks its kernels through Highway's run-time dispatch, which follows the
// targets restricted here, so every kernel is checked on every target.
#pragma once

#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <optional>
#include <string>

namespace zaltest {

template <class Body>
void forEachSimdTarget(Body&& body) {
    for (const int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        SCOPED_TRACE(hwy::TargetName(target));
        body();
        if (::testing::Test::HasFatalFailure()) break;
    }
    hwy::SetSupportedTargetsForTest(0);
}

// Runs `body` on every target and expects every target's result (anything
// comparable with ==, typically the output bits) to equal the first one's.
template <class Body>
void expectSameOnEveryTarget(Body&& body, const std::string& what = "") {
    std::optional<decltype(body())> first;
    forEachSimdTarget([&] {
        auto got = body();
        if (!first) first = std::move(got);
        else EXPECT_TRUE(got == *first) << what;
    });
}

}  // namespace zaltest
