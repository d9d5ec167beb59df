#pragma once
// Theme files under random damage: a sound theme with entries of every kind
// is mutated (bytes flipped, the file cut short, size and offset fields
// replaced, chains bent back or out of the file, records spliced, garbage
// appended) and read through the theme component, then every element is
// looked up and the button face drawn from it.
//
// The rules: the signature test decides alone whether a file is refused, a
// file is read within bounds (each record once, no more kept than a theme
// may keep), integer lines read back as numbers, and no lookup or drawing
// fails whatever the file holds.

#include "fuzz/support/FuzzReport.h"
#include "tests/widgets/skin/ThemeFileBuilder.h"

#include "widgets/skin/SkinDrawing.h"
#include "widgets/skin/SkinMgr.h"
#include "widgets/skin/SkinThemes.h"
#include "widgets/skin/ThemeFileReader.h"

#include <QPainter>
#include <random>

namespace theme_file_fuzz {

inline QList<ThemeFileEntry> soundEntries() {
    QImage strip(12, 5, QImage::Format_RGB32);
    strip.fill(qRgb(255, 0, 255));
    strip.setPixel(5, 2, qRgb(10, 200, 30));
    QImage paletted = threeColourStrip().convertToFormat(QImage::Format_Indexed8);
    return {
        {"ButtonImage", 0, bmpBytes(strip)},
        {"ButtonTransparentBool", 2, QByteArray(1, '\x01')},
        {"CheckBoxImage", 0, bmpBytes(paletted)},
        {"FormBackgroundColor", 1, int32Bytes(16711680)},
        {"TitleBarButtonRightOffsetInt", 1, int32Bytes(-3)},
        {"Author", 3, QByteArray("Bench team")},
        {"FormMinWidthInt", 1, int32Bytes(270)},
        {"FORMMINWIDTHINT", 1, int32Bytes(999)},
        {"Oddity", 9, QByteArray("xyz")},
        {"ProgressBarImage", 0, QByteArray()},
    };
}

class Mutator {
public:
    explicit Mutator(std::uint32_t seed) : m_random(seed) {}

    QByteArray next() {
        QByteArray bytes = m_sound;
        const int mutations = 1 + below(4);
        for (int i = 0; i < mutations; ++i) {
            mutate(bytes);
        }
        return bytes;
    }

private:
    int below(int bound) { return std::uniform_int_distribution<int>(0, bound - 1)(m_random); }

    // A 32-bit field value: mostly offsets and sizes near the file, sometimes
    // anything at all.
    std::uint32_t fieldValue(const QByteArray& bytes) {
        switch (below(4)) {
        case 0:
            return static_cast<std::uint32_t>(m_random());
        case 1:
            return static_cast<std::uint32_t>(below(static_cast<int>(bytes.size()) + 200));
        case 2:
            return static_cast<std::uint32_t>(24 + 77 * below(12));
        default:
            return 0xFFFFFFFFu - static_cast<std::uint32_t>(below(16));
        }
    }

    void mutate(QByteArray& bytes) {
        const int records = static_cast<int>(soundEntries().size()) + 1;
        switch (below(8)) {
        case 0: // flip bytes anywhere
            for (int n = 1 + below(12); n > 0 && !bytes.isEmpty(); --n) {
                bytes[below(static_cast<int>(bytes.size()))] = static_cast<char>(below(256));
            }
            break;
        case 1: // cut short
            bytes.truncate(below(static_cast<int>(bytes.size()) + 1));
            break;
        case 2: // a record's field: kind, data offset, size or next offset
            if (bytes.size() >= 24 + 77 * records) {
                const int record = 24 + 77 * below(records);
                const int field = std::array{64, 65, 69, 73}[static_cast<std::size_t>(below(4))];
                if (field == 64) {
                    bytes[record + field] = static_cast<char>(below(6));
                } else {
                    putUInt32(bytes, record + field, fieldValue(bytes));
                }
            }
            break;
        case 3: // a header field
            if (bytes.size() >= 24) {
                putUInt32(bytes, below(2) ? 12 : 20, fieldValue(bytes));
            }
            break;
        case 4: // a chain that jumps anywhere, often back
            if (bytes.size() >= 24 + 77 * records) {
                putUInt32(bytes, 24 + 77 * below(records) + 73, fieldValue(bytes));
            }
            break;
        case 5: // a copy of one part of the file over another
            if (bytes.size() > 8) {
                const int size = 1 + below(static_cast<int>(bytes.size()) / 2);
                const int from = below(static_cast<int>(bytes.size()) - size + 1);
                const int to = below(static_cast<int>(bytes.size()) - size + 1);
                const QByteArray part = bytes.mid(from, size);
                bytes.replace(to, size, part);
            }
            break;
        case 6: // garbage at the end
            for (int n = below(300); n > 0; --n) {
                bytes.append(static_cast<char>(below(256)));
            }
            break;
        default: // a key without its terminating zero, or with odd bytes
            if (bytes.size() >= 24 + 77 * records) {
                const int record = 24 + 77 * below(records);
                for (int at = 0; at < 64; ++at) {
                    bytes[record + at] = static_cast<char>(below(2) ? 'A' + below(26) : below(256));
                }
            }
            break;
        }
    }

    std::mt19937 m_random;
    QByteArray m_sound = themeFileBytes(soundEntries());
};

inline bool hasSignature(const QByteArray& bytes) {
    if (bytes.size() < ThemeFileFormat::SignatureProbeSize) {
        return false;
    }
    const QByteArray field = bytes.left(ThemeFileFormat::SignatureSize);
    const qsizetype end = field.indexOf('\0');
    return (end < 0 ? field : field.left(end)) == "Tessora_TB";
}

inline void checkReader(const TskThemeFileReader& reader, const QByteArray& bytes,
                        FuzzReport& report) {
    qint64 kept = 0;
    for (const auto& [key, data] : reader.ImageEntries()) {
        kept += data.size();
        if (key.size() > ThemeFileFormat::KeySize) {
            report.fail("a key longer than its field");
        }
    }
    for (const QString& line : reader.StringEntries()) {
        kept += line.size() * static_cast<qint64>(sizeof(QChar));
    }
    if (kept > ThemeFileFormat::MaximumKeptBytes) {
        report.fail("the reader kept " + std::to_string(kept) + " bytes");
    }
    const qsizetype entries = reader.ImageEntries().size() + reader.IntegerEntries().size() +
                              reader.BooleanEntries().size() + reader.StringEntries().size();
    if (entries > bytes.size() / ThemeFileFormat::RecordSize) {
        report.fail("more entries than the file has records");
    }
    for (const QString& line : reader.IntegerEntries()) {
        bool number = false;
        line.section(u'=', -1).toInt(&number);
        if (!number) {
            report.fail("an integer line that is no number: " + line.toStdString());
        }
    }
    report.count("entries kept", static_cast<std::uint64_t>(entries));
    report.count(reader.Problems().isEmpty() ? "files read whole" : "files with problems");
}

inline void lookUpEverything(const TskFileTheme& theme, FuzzReport& report) {
    for (int index = 0; index <= ThemeElement::Count + 1; ++index) {
        theme.GetBool(index);
        theme.GetColor(index);
        theme.GetInteger(index);
        QImage image;
        if (theme.GetImage(index, &image)) {
            report.count("images decoded");
        }
    }
    QImage canvasImage(97, 41, QImage::Format_RGB32);
    QPainter canvas(&canvasImage);
    for (int frame = 1; frame <= 3; ++frame) {
        QImage face;
        if (theme.FindImageFrame(ThemeElement::ButtonImage, &face, 3, frame) ==
            ThemeImageLookup::Found) {
            DrawNineSlice(face, canvas, canvasImage.rect(), frame == 2);
            report.count("faces drawn");
        }
    }
}

// Reads at least `files` damaged theme files.
inline FuzzReport Run(std::uint64_t files, std::uint32_t seed) {
    FuzzReport report;
    Mutator mutator(seed);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("theme.skn"));
    while (report.inputs < files && !report.failed()) {
        const QByteArray bytes = mutator.next();
        ++report.inputs;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size()) {
            report.fail("the test file could not be written");
            break;
        }
        file.close();
        checkReader(TskThemeFileReader(path), bytes, report);
        TskFileTheme theme;
        try {
            theme.SetThemeFile(path);
        } catch (const ESkinError& error) {
            if (hasSignature(bytes) ||
                std::string(error.what()) != TskFileTheme::InvalidFileMessage) {
                report.fail(std::string("a file was refused: ") + error.what());
            }
            report.count("signatures refused");
            continue;
        }
        if (!hasSignature(bytes) || !theme.CanUse()) {
            report.fail("a file without the signature was taken");
        }
        lookUpEverything(theme, report);
    }
    return report;
}

} // namespace theme_file_fuzz
