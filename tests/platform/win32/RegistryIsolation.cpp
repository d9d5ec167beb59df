// Gives every test of a Windows test program a registry key of its own for
// the settings store, as TemporaryConfig gives each a folder on Linux: the
// store's roots go under KESTRO_REGISTRY_KEY, which is set before each test
// and removed with everything below it after.

#include <QString>
#include <QtGlobal>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

const QString TestsKey = QStringLiteral("Software\\KESTRO-MODBUS-M-Tests");

class RegistryIsolation : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo& test) override {
        m_key = TestsKey +
                QStringLiteral("\\%1\\%2.%3")
                    .arg(::GetCurrentProcessId())
                    .arg(QString::fromUtf8(test.test_suite_name()), QString::fromUtf8(test.name()));
        qputenv("KESTRO_REGISTRY_KEY", m_key.toUtf8());
    }
    void OnTestEnd(const testing::TestInfo&) override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, m_key.toStdWString().c_str());
        qunsetenv("KESTRO_REGISTRY_KEY");
    }

    QString m_key;
};

// Appended before main() runs; gtest keeps the listener until the end.
const bool installed = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new RegistryIsolation);
    return true;
}();

} // namespace
