// A store that is being saved when its process dies must be left either as it
// was or as it was going to be. A child saves in a loop and is killed at
// random moments; after each kill the file must read back whole.

#include "platform/storage/RegistryStore.h"
#include "tests/support/TemporaryConfig.h"

#include <QDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kValuesPerSave = 20;
constexpr int kKills = 150;

[[noreturn]] void saveForever() {
    for (std::int32_t generation = 1;; ++generation) {
        RegistryStore store(RegistryRoot::LocalMachine);
        if (store.openKey("Software\\KESTRO_MODBUS_M\\ComPort", true) != RegistryError::None)
            _exit(2);
        // Every value of one save carries the same generation, so a file mixing
        // two saves, or cut short, shows at once.
        for (int index = 0; index < kValuesPerSave; ++index)
            store.writeText(QString("Value%1").arg(index), QString::number(generation));
        store.writeNumber("Generation", generation);
        if (store.closeKey() != RegistryError::None)
            _exit(3);
    }
}

// The generation the file holds, 0 when there is none yet, -1 when broken.
std::int32_t generationOnDisk() {
    RegistryStore store(RegistryRoot::LocalMachine);
    const RegistryError opened = store.openKey("Software\\KESTRO_MODBUS_M\\ComPort", false);
    if (opened == RegistryError::KeyMissing)
        return 0;
    if (opened != RegistryError::None)
        return -1;
    std::int32_t generation = 0;
    if (store.readNumber("Generation", generation) != RegistryError::None)
        return -1;
    for (int index = 0; index < kValuesPerSave; ++index) {
        QString text;
        if (store.readText(QString("Value%1").arg(index), text) != RegistryError::None ||
            text != QString::number(generation))
            return -1;
    }
    return generation;
}

} // namespace

TEST(AtomicSave, KilledSavesLeaveTheOldOrTheNewFile) {
    TemporaryConfig config;
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> pause(0, 8000);
    std::int32_t highest = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            saveForever();
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        ASSERT_EQ(::kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped by itself: " << status;

        const std::int32_t generation = generationOnDisk();
        ASSERT_GE(generation, 0) << "broken file after kill " << kill;
        highest = std::max(highest, generation);
    }
    EXPECT_GT(highest, 0) << "the child never finished a save; the test proved nothing";

    // The next save clears away what killed saves left behind.
    RegistryStore store(RegistryRoot::LocalMachine);
    ASSERT_EQ(store.openKey("Software", true), RegistryError::None);
    store.writeText("After", "kills");
    ASSERT_EQ(store.closeKey(), RegistryError::None);
    EXPECT_EQ(QDir(config.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({".HKEY_LOCAL_MACHINE.lock", "HKEY_LOCAL_MACHINE.registry"}));
}
