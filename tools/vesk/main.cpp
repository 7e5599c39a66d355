// vesk: command-line host for the Vesk_base_math plug-in.
//
// Loads the module as the scripting host does (by ordinal on Windows, by name
// elsewhere; runtime/PluginLoader.h): resolves the four entry points, reads
// the version text, hands its processor to the initialisation entry,
// fetches the function table and evaluates calls of its rows.
//
//   vesk [--module PATH] 'BesselJn(2.5, [0.5, 1, 2])' ...   one call per argument
//   vesk [--module PATH]                                     one call per input line
//   vesk --list | --version | --help
//   --seed N restarts the host's uniform generator (the random rows) from N;
//   without it every run starts from the same seed, so runs repeat.
//
// Each call prints one line: the result, followed on the same line by
// "error CODE: TEXT" for every error the module raised (or the error alone
// when the call produced no result). A malformed call, an unknown function
// or a wrong argument count prints "error: ..." naming the problem.
// Exit status: 0 when every call ran without a module error, 1 when the
// module raised an error, 2 when a call could not be made, on bad usage
// (an option without its value, a seed that is not a whole number from 0
// up), or when the output could not be written.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "host/FunctionTable.h"
#include "runtime/PluginLoader.h"
#include "runtime/VeskRuntime.h"
#include "tools/vesk/Parser.h"
#include "tools/vesk/Printer.h"

#if defined(_WIN32)
#define VESK_MODULE_NAME "Vesk_base_math.dll"
#else
#define VESK_MODULE_NAME "libVesk_base_math.so"
#endif
#ifndef VESK_DEFAULT_MODULE
#define VESK_DEFAULT_MODULE VESK_MODULE_NAME
#endif

namespace {

enum Status { kOk = 0, kModuleError = 1, kCallError = 2 };

// Number of arguments a signature text declares: "F(a, b)" has 2.
int ArgumentCount(const char* signature) {
    const char* open = std::strchr(signature, '(');
    if (!open) return 0;
    const char* p = open + 1;
    while (*p == ' ') ++p;
    if (*p == ')') return 0;
    int n = 1;
    for (; *p && *p != ')'; ++p)
        if (*p == ',') ++n;
    return n;
}

std::string NameOf(const char* signature) {
    const char* open = std::strchr(signature, '(');
    return open ? std::string(signature, static_cast<size_t>(open - signature)) : signature;
}

class Host {
public:
    explicit Host(const VeskFunctionEntry* table) : table_(table) {}

    // Evaluates one call and answers the line to print.
    Status Evaluate(const std::string& text, std::string& line) {
        vesk::ParsedCall call;
        std::string error;
        if (!vesk::ParseCall(text, call, error)) {
            line = "error: " + error;
            return kCallError;
        }
        const VeskFunctionEntry* row = Find(call.name);
        if (!row) {
            line = "error: unknown function '" + call.name + "'";
            return kCallError;
        }
        int expected = ArgumentCount(row->text);
        if (static_cast<int>(call.args.size()) != expected) {
            line = "error: " + std::string(row->text) + " takes " + std::to_string(expected) +
                   " argument" + (expected == 1 ? "" : "s") + ", got " +
                   std::to_string(call.args.size());
            return kCallError;
        }
        std::vector<VarRegister> args(call.args.size() + 1);
        for (size_t i = 0; i < call.args.size(); ++i) args[i].GetVar() = std::move(call.args[i]);
        VarRegister result;
        vrt::ClearErrors();
        row->handler(result, args.data());

        line.clear();
        if (result.GetVar().GetType() != VT_EMPTY) line = vesk::Format(result.GetVar());
        Status status = kOk;
        Processor* p = vrt::GetCurrentProcessor();
        for (const vrt::ErrorRecord& e : vrt::Errors()) {
            std::string text = e.text.empty() && p ? p->GetErrorName(e.code) : e.text;
            if (!line.empty()) line += "  ";
            line += "error " + std::to_string(e.code) + ": " + text;
            status = kModuleError;
        }
        vrt::ClearErrors();
        return status;
    }

    void List() const {
        for (const VeskFunctionEntry* e = table_; e->handler; ++e) std::printf("%s\n", e->text);
    }

private:
    const VeskFunctionEntry* Find(const std::string& name) const {
        for (const VeskFunctionEntry* e = table_; e->handler; ++e)
            if (NameOf(e->text) == name) return e;
        return nullptr;
    }

    const VeskFunctionEntry* table_;
};

// A seed: decimal digits only (no sign, which strtoull would wrap), in range.
bool ParseSeed(const char* text, unsigned long long& seed) {
    if (*text == 0) return false;
    for (const char* p = text; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    errno = 0;
    seed = std::strtoull(text, nullptr, 10);
    return errno == 0;
}

// The exit status once standard output is flushed: a result that could not
// be written (a full device, a closed pipe) is a call that failed.
int Flushed(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "vesk: cannot write the output: %s\n", std::strerror(errno));
    return kCallError;
}

void Usage(FILE* out) {
    std::fputs(
        "usage: vesk [--module PATH] [--seed N] [CALL ...]\n"
        "       vesk [--module PATH] --list | --version\n"
        "Evaluates calls of the module's script functions, one per argument, or one per\n"
        "line of standard input when no call is given. Example:\n"
        "  vesk 'BesselJn(2.5, [0.5, 1, 2])'\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    std::string modulePath = VESK_DEFAULT_MODULE;
    bool explicitModule = false;
    if (const char* env = std::getenv("VESK_MODULE")) {
        modulePath = env;
        explicitModule = true;
    }
    bool list = false, version = false;
    std::vector<std::string> calls;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--list") list = true;
        else if (a == "--version") version = true;
        else if (a == "--help" || a == "-h") { Usage(stdout); return 0; }
        else if (a == "--seed") {
            unsigned long long seed = 0;
            if (i + 1 >= argc || !ParseSeed(argv[i + 1], seed)) {
                std::fprintf(stderr, "vesk: --seed takes a whole number from 0 to %llu, got %s\n",
                             std::numeric_limits<unsigned long long>::max(),
                             i + 1 < argc ? ("'" + std::string(argv[i + 1]) + "'").c_str()
                                          : "nothing");
                return kCallError;
            }
            ++i;
            vrt::SeedRand(seed);
        } else if (a == "--module") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vesk: --module takes a path\n");
                return kCallError;
            }
            modulePath = argv[++i];
            explicitModule = true;
        }
        else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            std::fprintf(stderr, "vesk: unknown option '%s'\n", a.c_str());
            Usage(stderr);
            return kCallError;
        } else calls.push_back(a);
    }

    vrt::PluginModule module;
    module.Keep();
    std::string error;
    bool loaded = module.Load(modulePath, error);
    // An installed vesk finds the module through its run path.
    if (!loaded && !explicitModule) loaded = module.Load(VESK_MODULE_NAME, error);
    if (!loaded) {
        std::fprintf(stderr, "vesk: cannot load module '%s': %s\n", modulePath.c_str(), error.c_str());
        return kCallError;
    }
    char text[256];
    module.version(text, sizeof text);
    if (version) {
        std::printf("%s\n", text);
        return Flushed(kOk);
    }

    Processor processor;
    vrt::SetCurrentProcessor(&processor);
    module.init(&processor);
    Host host(module.table());
    if (list) {
        host.List();
        return Flushed(kOk);
    }

    int status = kOk;
    auto run = [&](const std::string& call, bool lineMode) {
        std::string line;
        Status s = host.Evaluate(call, line);
        if (s == kCallError && !lineMode) std::fprintf(stderr, "vesk: %s\n", line.c_str() + 7);
        else std::printf("%s\n", line.c_str());
        if (s > status) status = s;
    };
    if (!calls.empty()) {
        for (const std::string& c : calls) run(c, false);
    } else {
        std::string line;
        while (std::getline(std::cin, line)) run(line, true);
    }
    vrt::SetCurrentProcessor(nullptr);
    return Flushed(status);
}
