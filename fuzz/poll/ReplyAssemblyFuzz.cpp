// reply_assembly_fuzz [DELIVERIES] [SEED]: the poll engine's reply assembly
// under random deliveries (see ReplyAssemblyFuzzer.h).

#include "fuzz/poll/ReplyAssemblyFuzzer.h"
#include "fuzz/support/FuzzMain.h"

int main(int argc, char** argv) {
    return RunFuzzDriver(argc, argv, "deliveries", 100000, &reply_assembly_fuzz::Run);
}
