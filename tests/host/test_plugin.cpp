// Plug-in frame: version text, tables and the module error constant.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/Plugin.h"
#include "runtime/PluginLoader.h"
#include "runtime/VeskRuntime.h"

namespace {

const char kVersion[] = "VESK Support DLL v5.0 |VESK version:5.03.17";

TEST(PluginFrame, VersionTextHasStrncpySemantics) {
    char small[12];
    std::memset(small, '#', sizeof small);
    EXPECT_EQ(VeskPlugin_Version(small, 10), small);
    EXPECT_EQ(std::string(small, 10), "VESK Suppo");
    EXPECT_EQ(small[10], '#');  // unterminated, nothing written past the length

    char big[256];
    std::memset(big, '#', sizeof big);
    VeskPlugin_Version(big, 256);
    EXPECT_STREQ(big, kVersion);
    for (size_t i = sizeof kVersion - 1; i < sizeof big; ++i) ASSERT_EQ(big[i], 0) << i;

    char none[2] = {'#', '#'};
    VeskPlugin_Version(none, 0);
    VeskPlugin_Version(none, -5);
    EXPECT_EQ(none[0], '#');
}

// The built module loaded as the host loads it (by ordinal 2 to 5 on Windows,
// by name elsewhere): version text, 37 rows and the empty second table.
TEST(PluginFrame, EntryPointsOfTheBuiltModule) {
    vrt::PluginModule module;
    std::string error;
    ASSERT_TRUE(module.Load(VESK_MODULE_FILE, error)) << error;
    char text[64] = {};
    EXPECT_EQ(module.version(text, sizeof text), text);
    EXPECT_STREQ(text, kVersion);
    const VeskFunctionEntry* t = module.table();
    int rows = 0;
    while (t[rows].handler != nullptr) ++rows;
    EXPECT_EQ(rows, 37);
    EXPECT_STREQ(t[0].text, "Conjugate(any)");
    EXPECT_STREQ(t[36].text, "RandBinominal(number, int)");
    EXPECT_EQ(module.secondTable()[0], nullptr);
#if !defined(_WIN32)
    // Recorded at load (on Windows by the module's DllMain, which a program
    // linking the objects directly does not run).
    EXPECT_NE(VeskModuleInstance, nullptr);
#endif
}

TEST(PluginFrame, TablesEndAsTheHostExpects) {
    const VeskFunctionEntry* t = VeskPlugin_FunctionTable();
    EXPECT_STREQ(t[0].text, "Conjugate(any)");
    int rows = 0;
    while (t[rows].handler != nullptr) ++rows;
    ASSERT_NE(t[rows].text, nullptr);
    EXPECT_STREQ(t[rows].text, "");
    EXPECT_EQ(VeskPlugin_SecondTable()[0], nullptr);
}

class PluginInit : public ::testing::Test {
protected:
    void SetUp() override {
        VeskModuleErrorCode = 0;
        vrt::ClearErrors();
    }
    void TearDown() override {
        vrt::SetCurrentProcessor(nullptr);
        vrt::SetConnectorAvailable(true);
    }
};

TEST_F(PluginInit, RegistersTheErrorConstantOnce) {
    VeskPlugin_Init(nullptr);
    EXPECT_EQ(VeskModuleErrorCode, 0);

    Processor p;
    VeskPlugin_Init(&p);
    int code = VeskModuleErrorCode;
    EXPECT_NE(code, 0);
    EXPECT_EQ(vrt::RegisteredErrorCount(&p), 1);
    EXPECT_STREQ(p.GetErrorName(code), "Can't find solution of system.");
    ASSERT_NE(p.GetConstant("ERR_SOLUTION_NOT_FOUND"), nullptr);
    EXPECT_EQ(p.GetConstant("ERR_SOLUTION_NOT_FOUND")->Node()->GetInt32(), code);

    VeskPlugin_Init(&p);
    EXPECT_EQ(vrt::RegisteredErrorCount(&p), 1);

    // A second load finds the constant defined and reuses its code.
    VeskModuleErrorCode = 0;
    VeskPlugin_Init(&p);
    EXPECT_EQ(VeskModuleErrorCode, code);
    EXPECT_EQ(vrt::RegisteredErrorCount(&p), 1);
}

TEST_F(PluginInit, GetOwnerFollowsTheConnector) {
    Processor p;
    vrt::SetCurrentProcessor(&p);
    EXPECT_EQ(GetOwner(), &p);
    vrt::SetCurrentProcessor(nullptr);
    EXPECT_EQ(GetOwner(), nullptr);
    vrt::SetCurrentProcessor(&p);
    vrt::SetConnectorAvailable(false);
    EXPECT_EQ(GetOwner(), nullptr);
}

TEST(PluginFrame, ConjugateRowKeepsShape) {
    const VeskFunctionEntry* t = VeskPlugin_FunctionTable();
    VarRegister result, arg;
    vrt::MakeArray(arg.GetVar(), {1, 2});
    t[0].handler(result, &arg);
    EXPECT_EQ(vrt::ToDoubles(result.GetVar()), (std::vector<double>{1, 2}));
    EXPECT_EQ(vrt::ToDoubles(arg.GetVar()), (std::vector<double>{1, 2}));
}

}  // namespace
