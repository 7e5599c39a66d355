// Fixture for code that raises host errors: the error record starts and ends
// empty.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "runtime/VeskRuntime.h"

class ErrorTest : public ::testing::Test {
protected:
    void SetUp() override { vrt::ClearErrors(); }
    void TearDown() override { vrt::ClearErrors(); }
    // The codes raised so far, in order.
    static std::vector<int> ErrorCodes() {
        std::vector<int> codes;
        for (const auto& e : vrt::Errors()) codes.push_back(e.code);
        return codes;
    }
};
