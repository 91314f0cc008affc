// The program's entry. The game's window and frame loop are not built yet, so
// this starts the framework core, shows its log and says what is missing.
#include <cstdio>

#include "core/zCore.h"

int main() {
    using namespace zun;
    Core_Start();
    std::printf("%s", Cp1252ToUtf8(zCore.LogText).c_str());
    std::printf(
        "\nThe framework core has started. The game's window, devices, levels and scripts\n"
        "are not built yet, so there is nothing to play; `make test` runs what exists.\n");
    return 0;
}
