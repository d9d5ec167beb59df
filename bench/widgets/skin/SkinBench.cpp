// How long one paint of the main window's skinned button takes (the whole
// face is composed off-screen on every paint, nothing cached), and how long a
// theme file takes to read.
//
// Run by hand: ./build/bench/widgets/skin/skin_bench

#include "widgets/skin/SkinButton.h"
#include "widgets/skin/ThemeFileReader.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <benchmark/benchmark.h>

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

void readThemeFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.skn"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(fullTheme());
    file.close();
    for (auto _ : state) {
        TskThemeFileReader reader(path);
        benchmark::DoNotOptimize(reader.ImageEntries().size());
    }
}
BENCHMARK(readThemeFile)->Unit(benchmark::kMicrosecond);

} // namespace
