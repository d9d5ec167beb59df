#pragma once
// Builds theme files byte by byte for the tests: a 24-byte header, one 77-byte
// record per entry plus the terminating record, then the entries' data.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdint>

struct ThemeFileEntry {
    QByteArray key;
    std::uint8_t kind = 0;
    QByteArray data;
};

inline void putUInt32(QByteArray& bytes, int at, std::uint32_t value) {
    qToLittleEndian<std::uint32_t>(value, bytes.data() + at);
}

inline QByteArray themeFileBytes(const QList<ThemeFileEntry>& entries,
                                 const QByteArray& signature = "Tessora_TB") {
    constexpr int headerSize = 24;
    constexpr int recordSize = 77;
    const int recordsStart = headerSize;
    const int dataStart = recordsStart + recordSize * int(entries.size() + 1);
    QByteArray bytes(dataStart, '\0');
    bytes.replace(0, int(signature.size()), signature);
    putUInt32(bytes, 12, headerSize);
    putUInt32(bytes, 20, recordsStart);
    for (int i = 0; i < entries.size(); ++i) {
        const int record = recordsStart + i * recordSize;
        bytes.replace(record, int(entries[i].key.size()), entries[i].key);
        bytes[record + 64] = char(entries[i].kind);
        putUInt32(bytes, record + 65, std::uint32_t(bytes.size()));
        putUInt32(bytes, record + 69, std::uint32_t(entries[i].data.size()));
        putUInt32(bytes, record + 73, std::uint32_t(record + recordSize));
        bytes.append(entries[i].data);
    }
    return bytes;
}

inline QByteArray int32Bytes(std::int32_t value) {
    QByteArray bytes(4, '\0');
    qToLittleEndian<std::int32_t>(value, bytes.data());
    return bytes;
}

inline QByteArray bmpBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

/// A three-frame 12 x 5 strip: red, green and blue frames of 4 x 5.
inline QImage threeColourStrip() {
    QImage strip(12, 5, QImage::Format_RGB32);
    for (int x = 0; x < 12; ++x) {
        const QRgb colour = x < 4 ? qRgb(255, 0, 0) : x < 8 ? qRgb(0, 255, 0) : qRgb(0, 0, 255);
        for (int y = 0; y < 5; ++y) {
            strip.setPixel(x, y, colour);
        }
    }
    return strip;
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    file.write(bytes);
    return path;
}
