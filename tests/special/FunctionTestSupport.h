// Fixture of the special function tests: every test starts and ends with an
// empty error record.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "runtime/VeskRuntime.h"

class FunctionTest : public ::testing::Test {
protected:
    void SetUp() override { vrt::ClearErrors(); }
    void TearDown() override { vrt::ClearErrors(); }

    // Exactly one error since the last check, with this code and text; clears the record.
    static void ExpectOneError(int code, const std::string& text = "") {
        ASSERT_EQ(vrt::Errors().size(), 1u);
        EXPECT_EQ(vrt::Errors()[0].code, code);
        EXPECT_EQ(vrt::Errors()[0].text, text);
        vrt::ClearErrors();
    }
    static void ExpectNoError() { EXPECT_TRUE(vrt::Errors().empty()); }
};
