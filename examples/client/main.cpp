// Links against the installed module and calls its entry points directly.
#include <cstdio>

#include "host/Plugin.h"

int main() {
    char text[64];
    VeskPlugin_Version(text, sizeof text);
    std::printf("%s\n", text);
    return VeskPlugin_FunctionTable()[0].handler != nullptr ? 0 : 1;
}
