// Program entry. The windows and the headless runner are started from here.

#include <QCoreApplication>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::puts("usage: kestro-modbus-m [--simulate] [--headless ...]");
            return 0;
        }
    }
    std::fputs("kestro-modbus-m: nothing to run yet\n", stderr);
    return 1;
}
