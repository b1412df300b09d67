// Helpers shared by the region tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "common/test_image.h"
#include "zalcv.h"

namespace zaltest {

// A work buffer of `size` bytes starting `offset` bytes into the storage
// (misaligned on purpose when offset > 0), followed by guard bytes.
struct GuardedBuffer {
    std::vector<uint8_t> bytes;
    int size, offset;
    explicit GuardedBuffer(int size_, int offset_ = 0)
        : bytes(static_cast<size_t>(size_) + offset_ + 64, 0xA5), size(size_), offset(offset_) {}
    uint8_t* data() { return bytes.data() + offset; }
    bool guardIntact() const {
        for (size_t i = static_cast<size_t>(size) + offset; i < bytes.size(); ++i)
            if (bytes[i] != 0xA5) return false;
        return true;
    }
};

// The size a buffer query reports (fails the test when the query does).
template <class Query>
int queriedSize(Query query, ImageSize roi) {
    int size = -1;
    EXPECT_EQ(query(roi, &size), StatusOk);
    return size;
}

}  // namespace zaltest
