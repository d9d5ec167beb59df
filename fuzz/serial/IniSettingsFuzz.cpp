// ini_settings_fuzz [FILES] [SEED]: damaged INI settings files restored into
// a port (see SettingsFuzzer.h).

#include "fuzz/serial/SettingsFuzzer.h"
#include "fuzz/support/FuzzMain.h"

int main(int argc, char** argv) {
    return RunFuzzDriver(argc, argv, "INI files", 2000,
                         [](std::uint64_t files, std::uint32_t seed) {
                             return settings_fuzz::Run(settings_fuzz::Store::Ini, files, seed);
                         });
}
