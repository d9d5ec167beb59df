// The manual pages against the built programs: every option that --help
// lists is described, and man renders each page without a warning.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

struct Program {
    QString path;
    QString manualPage;
};

const Program Programs[] = {
    {QStringLiteral(KESTRO_MODBUS_M_PATH), QStringLiteral(KESTRO_MANUAL_DIR "/kestro-modbus-m.1")},
    {QStringLiteral(KESTRO_VIRTUAL_MODULE_PATH),
     QStringLiteral(KESTRO_MANUAL_DIR "/kestro-virtual-module.1")},
};

struct Output {
    int exitCode = -1;
    QString standardOutput;
    QString standardError;
};

Output run(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Output output;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return output;
    }
    output.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    output.standardOutput = QString::fromUtf8(process.readAllStandardOutput());
    output.standardError = QString::fromUtf8(process.readAllStandardError());
    return output;
}

TEST(ManualPages, EveryOptionOfTheHelpIsDescribed) {
    static const QRegularExpression longOption(QStringLiteral("--[a-z][a-z-]*"));
    for (const Program& program : Programs) {
        const Output help = run(program.path, {QStringLiteral("--help")});
        ASSERT_EQ(help.exitCode, 0) << program.path.toStdString();
        QFile page(program.manualPage);
        ASSERT_TRUE(page.open(QIODevice::ReadOnly)) << program.manualPage.toStdString();
        const QString source = QString::fromUtf8(page.readAll());
        int options = 0;
        for (const QRegularExpressionMatch& match : longOption.globalMatch(help.standardOutput)) {
            // In roff every hyphen of an option is written "\-".
            QString written = match.captured();
            written.replace(u'-', QStringLiteral("\\-"));
            EXPECT_TRUE(source.contains(written))
                << match.captured().toStdString() << " is missing from "
                << program.manualPage.toStdString();
            ++options;
        }
        EXPECT_GE(options, 5) << program.path.toStdString();
    }
}

TEST(ManualPages, ManRendersEachPageWithoutWarnings) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
    environment.insert(QStringLiteral("MAN_KEEP_STDERR"), QStringLiteral("1"));
    for (const Program& program : Programs) {
        const Output shown =
            run(QStringLiteral("man"),
                {QStringLiteral("--warnings"), QStringLiteral("-E"), QStringLiteral("UTF-8"),
                 QStringLiteral("-l"), program.manualPage},
                environment);
        EXPECT_EQ(shown.exitCode, 0) << program.manualPage.toStdString();
        EXPECT_EQ(shown.standardError, QString()) << program.manualPage.toStdString();
        for (const char* section : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS"}) {
            EXPECT_TRUE(shown.standardOutput.contains(QLatin1String(section)))
                << section << " in " << program.manualPage.toStdString();
        }
    }
}

TEST(ManualPages, BothProgramsTellTheirNameAndVersion) {
    for (const Program& program : Programs) {
        const Output version = run(program.path, {QStringLiteral("--version")});
        const QString name = program.path.section(u'/', -1);
        EXPECT_EQ(version.exitCode, 0) << name.toStdString();
        EXPECT_EQ(version.standardOutput, name + QStringLiteral(" " KESTRO_VERSION "\n"));
        EXPECT_EQ(version.standardError, QString());
    }
}

} // namespace
