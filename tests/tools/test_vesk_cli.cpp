// The command-line host, run as a separate process on the built module.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#else
#include <sys/wait.h>
#endif

namespace {

struct CliRun {
    std::string out;
    int status;
};

// The command line for the arguments, written as a POSIX shell would take
// them (words split at spaces, single quotes around a word with spaces). On
// Windows each word is re-quoted for cmd.exe and the C runtime's argument
// parser: in double quotes, an inner double quote as \".
std::string CommandLine(const std::string& args) {
#if defined(_WIN32)
    std::string cmd = std::string("\"") + VESK_TOOL_FILE + "\"";
    std::string word;
    bool inWord = false, quoted = false;
    auto flush = [&] {
        if (inWord) cmd += " \"" + word + "\"";
        word.clear();
        inWord = false;
    };
    for (char c : args) {
        if (c == '\'') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            flush();
        } else {
            word += c == '"' ? std::string("\\\"") : std::string(1, c);
            inWord = true;
        }
    }
    flush();
    return cmd;
#elif defined(VESK_TOOL_EMULATOR)
    return std::string(VESK_TOOL_EMULATOR " '") + VESK_TOOL_FILE + "' " + args;
#else
    return std::string("'") + VESK_TOOL_FILE + "' " + args;
#endif
}

// Runs `vesk <args>` through the shell, optionally feeding `input`.
CliRun Vesk(const std::string& args, const std::string& input = "") {
    std::string cmd = CommandLine(args);
    std::string inFile;
    if (!input.empty()) {
        inFile = ::testing::TempDir() + "vesk_input.txt";
        std::ofstream(inFile) << input;
        cmd += " < \"" + inFile + "\"";
    }
    cmd += " 2>&1";
#if defined(_WIN32)
    cmd = "\"" + cmd + "\"";  // cmd.exe /c strips the outer pair
#endif
    CliRun r{"", -1};
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
#if defined(_WIN32)
    r.status = st;
#else
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
#endif
    return r;
}

TEST(VeskCli, VersionAndList) {
    CliRun v = Vesk("--version");
    EXPECT_EQ(v.out, "VESK Support DLL v5.0 |VESK version:5.03.17\n");
    EXPECT_EQ(v.status, 0);
    CliRun l = Vesk("--list");
    EXPECT_EQ(l.out.rfind("Conjugate(any)\n", 0), 0u);
    EXPECT_EQ(l.status, 0);
}

TEST(VeskCli, CallsPrintResultsThatRoundTrip) {
    CliRun r = Vesk("'Conjugate([1, 2])'");
    EXPECT_EQ(r.out, "[1, 2]\n");
    EXPECT_EQ(r.status, 0);
    r = Vesk("'Conjugate([0.1, [-2.5e-300], \"t\"])'");
    EXPECT_EQ(r.out, "[0.10000000000000001, [-2.5e-300], \"t\"]\n");
    r = Vesk("'Conjugate({X: [0, 1], Y: [2, 3]})'");
    EXPECT_EQ(r.out, "TFunc{X: [0, 1], Y: [2, 3]}\n");
}

TEST(VeskCli, BadCallsFailClearly) {
    CliRun r = Vesk("'Conjugate([1, 2'");
    EXPECT_NE(r.out.find("malformed call"), std::string::npos);
    EXPECT_EQ(r.status, 2);
    r = Vesk("'NoSuch(1)'");
    EXPECT_NE(r.out.find("unknown function 'NoSuch'"), std::string::npos);
    EXPECT_EQ(r.status, 2);
    r = Vesk("'Conjugate(1, 2)'");
    EXPECT_NE(r.out.find("takes 1 argument, got 2"), std::string::npos);
    EXPECT_EQ(r.status, 2);
    r = Vesk("--bogus");
    EXPECT_EQ(r.status, 2);
    r = Vesk("--seed x 'RandGauss(0, 1)'");
    EXPECT_EQ(r.status, 2);
}

// Bad arguments, options without a proper value, a text holding a NUL and
// output that cannot be written all fail clearly, with a non-zero status.
TEST(VeskCli, BadInputAndLostOutputFailClearly) {
    struct Row {
        const char* args;
        const char* input;
        const char* says;
        int status;
    };
    const Row rows[] = {
        {"'BesselJ0({Y: 5})'", "", "error 3", 1},
        {"'BesselJ0({Y: \"abc\"})'", "", "error 3", 1},
        {"'FTest(\"abc\", \"defg\")'", "", "error 3", 1},
        {"'BesselJ0(Number{Value: \"x\"})'", "", "error 3", 1},
        {"--seed", "", "--seed takes a whole number", 2},
        {"--seed -5 'RandGauss(0, 1)'", "", "got '-5'", 2},
        {"--module", "", "--module takes a path", 2},
        {"", "Conjugate(\"a", "a text cannot hold a NUL character", 2},
#if !defined(_WIN32)
        // Output to a full device (Windows has none; the message goes there too).
        {"'Conjugate(1)' > /dev/full", "", "", 2},
        {"--version > /dev/full", "", "", 2},
#endif
    };
    for (const Row& r : rows) {
        std::string input = r.input;
        if (!input.empty()) input += std::string(1, '\0') + "b\")\n";
        CliRun run = Vesk(r.args, input);
        EXPECT_NE(run.out.find(r.says), std::string::npos) << r.args << ": " << run.out;
        EXPECT_EQ(run.status, r.status) << r.args;
    }
}

TEST(VeskCli, SeedRepeatsRandomRows) {
    CliRun a = Vesk("--seed 5 'RandGauss(0, 1)' 'RandPoisson(3)'");
    CliRun b = Vesk("--seed 5 'RandGauss(0, 1)' 'RandPoisson(3)'");
    CliRun c = Vesk("--seed 6 'RandGauss(0, 1)' 'RandPoisson(3)'");
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.out, c.out);
}

TEST(VeskCli, LineModePrintsOneLinePerInputLine) {
    CliRun r = Vesk("", "Conjugate(1.5)\nbroken(\nConjugate(-0)\n\nConjugate([])\n");
    EXPECT_EQ(r.out,
              "1.5\n"
              "error: malformed call at column 8: expected a value\n"
              "-0\n"
              "error: malformed call at column 1: expected a function name\n"
              "[]\n");
    EXPECT_EQ(r.status, 2);
}

}  // namespace
