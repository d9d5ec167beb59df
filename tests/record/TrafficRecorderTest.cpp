// The recording on real files: rows as they come, on disk within a quarter of
// a second, turned over at the size limit, failures told once.

#include "record/TrafficRecorder.h"
#include "record/TrafficCsv.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

using namespace std::chrono_literals;

TrafficEvent requestEvent(std::int64_t elapsedMicroseconds) {
    TrafficEvent event;
    event.time = std::chrono::system_clock::now();
    event.elapsed = std::chrono::microseconds{elapsedMicroseconds};
    event.bytes = {0x01, 0x03, 0x00, 0x00, 0x00, 0x14, 0x45, 0xC5};
    return event;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The elapsed column of every row after the header.
std::vector<std::int64_t> elapsedColumn(const QString& path) {
    std::vector<std::int64_t> values;
    QList<QByteArray> lines = contents(path).split('\n');
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        values.push_back(lines[i].split(',').value(1).toLongLong());
    }
    return values;
}

TEST(TrafficRecorder, FormatsEveryEntryAsOneRowOfPlainFields) {
    TrafficEvent reply;
    reply.time = std::chrono::system_clock::now();
    reply.elapsed = 2500042us;
    reply.direction = TrafficDirection::Rx;
    reply.verdict = TrafficVerdict::Exception;
    reply.exceptionCode = 0x0B;
    reply.bytes = {0x01, 0x83, 0x0B, 0xC1, 0xB4};
    reply.responseTime = 8120us;
    const QByteArray row = TrafficCsvRow(reply);
    EXPECT_TRUE(row.endsWith(",2500042,Rx,01 83 0B C1 B4,exception-0B,8120\n"))
        << row.toStdString();

    TrafficEvent miss;
    miss.direction = TrafficDirection::NoReply;
    miss.verdict = TrafficVerdict::Incomplete;
    EXPECT_TRUE(TrafficCsvRow(miss).endsWith(",0,--,,incomplete,\n"));
    EXPECT_EQ(TrafficCsvHeader(), "time,elapsed_us,direction,bytes,verdict,response_us\n");
}

TEST(TrafficRecorder, RowsReachTheFileWithinAQuarterOfASecondAndAtStop) {
    QTemporaryDir folder;
    const QString path = folder.filePath("record.csv");
    TrafficRecorder recorder;
    ASSERT_EQ(recorder.Start(path), QString());
    EXPECT_TRUE(recorder.Recording());
    // The header is there at once.
    EXPECT_EQ(contents(path), TrafficCsvHeader());

    recorder.OnTraffic(requestEvent(1));
    QElapsedTimer clock;
    clock.start();
    while (elapsedColumn(path).empty() && clock.elapsed() < 2000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    EXPECT_EQ(elapsedColumn(path), std::vector<std::int64_t>{1});
    EXPECT_LT(clock.elapsed(), 1000);

    recorder.OnTraffic(requestEvent(2));
    recorder.Stop();
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(elapsedColumn(path), (std::vector<std::int64_t>{1, 2}));
    // Entries after Stop are not recorded.
    recorder.OnTraffic(requestEvent(3));
    recorder.Flush();
    EXPECT_EQ(elapsedColumn(path).size(), 2U);
}

TEST(TrafficRecorder, AFullFileMovesAsideAndAtMostNineOldFilesAreKept) {
    QTemporaryDir folder;
    const QString path = folder.filePath("record.csv");
    // An earlier recording under the name is kept as the first old file.
    QFile earlier(path);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier recording\n");
    earlier.close();

    constexpr std::int64_t limit = 1000;
    TrafficRecorder recorder;
    recorder.SetLimitBytes(limit);
    ASSERT_EQ(recorder.Start(path), QString());
    const std::int64_t rowSize = TrafficCsvRow(requestEvent(100000)).size();
    const std::int64_t rowsPerFile = (limit - TrafficCsvHeader().size()) / rowSize;
    // Enough rows for fourteen files: the oldest five are gone.
    const std::int64_t rows = 14 * rowsPerFile;
    for (std::int64_t row = 0; row < rows; ++row) {
        recorder.OnTraffic(requestEvent(100000 + row));
    }
    recorder.Stop();

    EXPECT_FALSE(QFile::exists(path + ".10"));
    std::vector<std::int64_t> all;
    for (int index = 9; index >= 0; --index) {
        const QString file = index == 0 ? path : path + '.' + QString::number(index);
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(QFile::exists(file));
        EXPECT_TRUE(contents(file).startsWith(TrafficCsvHeader()));
        EXPECT_LE(QFileInfo(file).size(), limit);
        const std::vector<std::int64_t> values = elapsedColumn(file);
        EXPECT_EQ(static_cast<std::int64_t>(values.size()), rowsPerFile);
        all.insert(all.end(), values.begin(), values.end());
    }
    // The ten files hold the newest rows, oldest first, none lost between them.
    ASSERT_EQ(static_cast<std::int64_t>(all.size()), 10 * rowsPerFile);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i], 100000 + rows - 10 * rowsPerFile + static_cast<std::int64_t>(i));
    }
}

TEST(TrafficRecorder, AFileThatCannotBeWrittenIsRefusedWithItsReason) {
    TrafficRecorder recorder;
    int failures = 0;
    recorder.SetOnFailure([&](const QString&) { ++failures; });
    QTemporaryDir folder;
    EXPECT_EQ(recorder.Start(folder.filePath("missing/record.csv")),
              folder.filePath("missing/record.csv") + ": No such file or directory");
    EXPECT_EQ(recorder.Start(folder.path()), folder.path() + ": Is a directory");
    // A device is no file to keep a record in.
    EXPECT_EQ(recorder.Start("/dev/full"),
              "/dev/full: not a regular file (a pipe, device or socket); choose a file");
    // A file that cannot take a single row refuses even the header.
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = previous;
    none.rlim_cur = 0;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &none), 0);
    const QString full = recorder.Start(folder.filePath("full.csv"));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_EQ(full, folder.filePath("full.csv") + ": File too large");
    EXPECT_FALSE(recorder.Recording());
    recorder.OnTraffic(requestEvent(1));
    // A refused start is the caller's to tell; only failures while recording
    // go to the handler.
    EXPECT_EQ(failures, 0);
}

} // namespace
