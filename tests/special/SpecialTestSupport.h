// Helpers shared by the special-function tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/VeskRuntime.h"

// Starts and ends every test with an empty error record.
class SpecialTest : public ::testing::Test {
protected:
    void SetUp() override { vrt::ClearErrors(); }
    void TearDown() override { vrt::ClearErrors(); }

    // Exactly one error was raised since the last check, with this code and
    // text; the record is then cleared.
    static void ExpectOneError(int code, const std::string& text = "") {
        const auto& errors = vrt::Errors();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].code, code);
        EXPECT_EQ(errors[0].text, text);
        vrt::ClearErrors();
    }
    static void ExpectNoError() { EXPECT_TRUE(vrt::Errors().empty()); }
};
