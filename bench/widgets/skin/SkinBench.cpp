// How long one paint of the main window's skinned button takes (the whole
// face is composed off-screen on every paint, nothing cached), the same for a
// button that takes its face from a theme file, how long a theme file takes to
// read, and how much memory loading and reloading a theme with one large text
// entry takes at its peak.
//
// Run by hand: ./build/bench/widgets/skin/skin_bench

#include "widgets/skin/SkinButton.h"
#include "widgets/skin/SkinMgr.h"
#include "widgets/skin/ThemeFileReader.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <benchmark/benchmark.h>
#include <fstream>
#include <string>

namespace {

void paintMainWindowButton(benchmark::State& state) {
    QWidget window;
    window.resize(440, 120);
    TskButton button(&window);
    button.setGeometry(104, 32, 97, 41);
    button.SetUIStyle(TskUIStyle::BlueGlass);
    button.SetCaption(QStringLiteral("开始"));
    QImage target(97, 41, QImage::Format_RGB32);
    for (auto _ : state) {
        button.render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}
BENCHMARK(paintMainWindowButton)->Unit(benchmark::kMicrosecond);

// A theme with every element: 22 images of a 231 x 27 strip, the rest integers.
QByteArray fullTheme() {
    QImage strip(231, 27, QImage::Format_RGB32);
    strip.fill(Qt::gray);
    QByteArray bitmap;
    QBuffer buffer(&bitmap);
    buffer.open(QIODevice::WriteOnly);
    strip.save(&buffer, "BMP");
    constexpr int records = ThemeElement::Count;
    const int dataStart = ThemeFileFormat::HeaderSize + ThemeFileFormat::RecordSize * (records + 1);
    QByteArray bytes(dataStart, '\0');
    bytes.replace(0, 10, "Tessora_TB");
    qToLittleEndian<quint32>(ThemeFileFormat::HeaderSize, bytes.data() + 12);
    qToLittleEndian<quint32>(ThemeFileFormat::HeaderSize, bytes.data() + 20);
    for (int index = 1; index <= records; ++index) {
        const int record = ThemeFileFormat::HeaderSize + (index - 1) * ThemeFileFormat::RecordSize;
        const QByteArray key = ThemeElementKey(index).toLatin1();
        const bool image = ThemeElementKindOf(index) == ThemeElementKind::Image;
        const QByteArray data = image ? bitmap : QByteArray(4, '\1');
        bytes.replace(record, int(key.size()), key);
        bytes[record + 64] = char(image ? 0 : 1);
        qToLittleEndian<quint32>(quint32(bytes.size()), bytes.data() + record + 65);
        qToLittleEndian<quint32>(quint32(data.size()), bytes.data() + record + 69);
        qToLittleEndian<quint32>(quint32(record + ThemeFileFormat::RecordSize),
                                 bytes.data() + record + 73);
        bytes.append(data);
    }
    return bytes;
}

QString writeTheme(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

void readThemeFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = writeTheme(dir, QStringLiteral("full.skn"), fullTheme());
    for (auto _ : state) {
        TskThemeFileReader reader(path);
        benchmark::DoNotOptimize(reader.ImageEntries().size());
    }
}
BENCHMARK(readThemeFile)->Unit(benchmark::kMicrosecond);

// The main window's button with its face from the full theme instead.
void paintThemedButton(benchmark::State& state) {
    QTemporaryDir dir;
    QWidget window;
    window.resize(440, 120);
    TskFileTheme theme(&window);
    theme.SetThemeFile(writeTheme(dir, QStringLiteral("full.skn"), fullTheme()));
    TskButton button(&window);
    button.setGeometry(104, 32, 97, 41);
    button.SetUIStyle(TskUIStyle::FromThemeFile);
    button.SetFileTheme(&theme);
    button.SetCaption(QStringLiteral("开始"));
    QImage target(97, 41, QImage::Format_RGB32);
    for (auto _ : state) {
        button.render(&target);
        benchmark::DoNotOptimize(target.bits());
    }
}
BENCHMARK(paintThemedButton)->Unit(benchmark::kMicrosecond);

// A theme whose only entry is a text of the given size.
QByteArray textTheme(qint64 textBytes) {
    constexpr int dataStart = ThemeFileFormat::HeaderSize + ThemeFileFormat::RecordSize * 2;
    QByteArray bytes(dataStart, '\0');
    bytes.replace(0, 10, "Tessora_TB");
    qToLittleEndian<quint32>(ThemeFileFormat::HeaderSize, bytes.data() + 12);
    qToLittleEndian<quint32>(ThemeFileFormat::HeaderSize, bytes.data() + 20);
    constexpr int record = ThemeFileFormat::HeaderSize;
    bytes.replace(record, 5, "Notes");
    bytes[record + 64] = char(3);
    qToLittleEndian<quint32>(quint32(dataStart), bytes.data() + record + 65);
    qToLittleEndian<quint32>(quint32(textBytes), bytes.data() + record + 69);
    qToLittleEndian<quint32>(quint32(record + ThemeFileFormat::RecordSize),
                             bytes.data() + record + 73);
    bytes.append(QByteArray(textBytes, 't'));
    return bytes;
}

// The process's peak resident memory in KiB (VmHWM), which writing 5 to
// clear_refs sets back to the current size.
qint64 peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoll(line.substr(6));
        }
    }
    return -1;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Loads a theme with one text of the given MiB, then a second such theme in
// its place, and reports the peak memory above where it started.
void reloadLargeTextTheme(benchmark::State& state) {
    QTemporaryDir dir;
    const qint64 textBytes = state.range(0) << 20;
    const QString first = writeTheme(dir, QStringLiteral("first.skn"), textTheme(textBytes));
    const QString second = writeTheme(dir, QStringLiteral("second.skn"), textTheme(textBytes));
    qint64 peak = 0;
    for (auto _ : state) {
        resetPeak();
        const qint64 before = peakResidentKiB();
        {
            TskFileTheme theme;
            theme.SetThemeFile(first);
            theme.SetThemeFile(second);
            benchmark::DoNotOptimize(theme.CanUse());
        }
        peak = std::max(peak, peakResidentKiB() - before);
    }
    state.counters["peak_MiB"] = double(peak) / 1024.0;
}
BENCHMARK(reloadLargeTextTheme)->Arg(31)->Arg(63)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
