// theme_file_fuzz [FILES] [SEED]: damaged theme files through the theme
// component (see ThemeFileFuzzer.h).

#include "fuzz/support/FuzzMain.h"
#include "fuzz/widgets/skin/ThemeFileFuzzer.h"

int main(int argc, char** argv) {
    return RunFuzzDriver(argc, argv, "theme files", 2000, &theme_file_fuzz::Run);
}
