#include "widgets/skin/ThemeFileReader.h"

#include "widgets/skin/SkinThemes.h"

#include "platform/storage/RegularFile.h"

#include <QFile>
#include <QtEndian>
#include <cstring>
#include <limits>
#include <set>
#include <vector>

using namespace ThemeFileFormat;

namespace {

std::uint32_t readUInt32(const QByteArray& bytes, int at) {
    return qFromLittleEndian<std::uint32_t>(bytes.constData() + at);
}

// Reads exactly `size` bytes at `offset`, or nothing when the file does not
// hold them (also when it shrank while being read).
std::optional<QByteArray> readAt(QFile& file, qint64 offset, qint64 size) {
    if (offset < 0 || size < 0 || offset > file.size() || size > file.size() - offset) {
        return std::nullopt;
    }
    if (!file.seek(offset)) {
        return std::nullopt;
    }
    QByteArray bytes = file.read(size);
    if (bytes.size() != size) {
        return std::nullopt;
    }
    return bytes;
}

// What a line of this many characters takes in memory.
qint64 keptTextSize(qint64 characters) {
    return characters * static_cast<qint64>(sizeof(QChar));
}

// Reads a text entry in pieces straight into its line "key=text", so that
// the text is never held twice, as bytes and as characters.
std::optional<QString> readTextLine(QFile& file, const QString& key, qint64 offset, qint64 size) {
    if (!file.seek(offset)) {
        return std::nullopt;
    }
    QString line;
    line.reserve(key.size() + 1 + size);
    line += key;
    line += u'=';
    constexpr qint64 pieceSize = 64 * 1024;
    std::vector<char> piece(static_cast<std::size_t>(std::min(size, pieceSize)));
    for (qint64 left = size; left > 0;) {
        const qint64 got = file.read(piece.data(), std::min(left, pieceSize));
        if (got <= 0) {
            return std::nullopt; // The file shrank while it was read.
        }
        line += QLatin1String(piece.data(), got);
        left -= got;
    }
    return line;
}

// Text of a fixed-size field up to its first zero byte.
QString zeroTerminated(const QByteArray& bytes, int from, int size) {
    const QByteArray field = bytes.mid(from, size);
    const qsizetype end = field.indexOf('\0');
    return QString::fromLatin1(end < 0 ? field : field.left(end));
}

} // namespace

TskThemeFileReader::TskThemeFileReader(const QString& path) {
    // Opened for reading only and without locks, so other programs may keep
    // reading and writing the file meanwhile.
    const OpenedRegularFile opened = openRegularFileForReading(path);
    if (opened.outcome != OpenedRegularFile::Outcome::Opened) {
        const std::string reason = opened.outcome == OpenedRegularFile::Outcome::NotRegular
                                       ? std::string("It is not a file.")
                                       : std::string(std::strerror(opened.error));
        throw ESkinError("Cannot open file \"" + path.toStdString() + "\". " + reason);
    }
    LoadThemeFile(*opened.file);
}

TskThemeFileReader::TskThemeFileReader(QFile& file) {
    LoadThemeFile(file);
}

void TskThemeFileReader::LoadThemeFile(QFile& file) {
    const std::optional<QByteArray> probe = readAt(file, 0, SignatureProbeSize);
    if (!probe) {
        m_problems << QStringLiteral("the file is shorter than its header");
        return;
    }
    // The header is read again with its stated size, but never more than the
    // fields this format defines.
    const qint64 statedHeaderSize = readUInt32(*probe, HeaderSizeField);
    const std::optional<QByteArray> header =
        readAt(file, 0, std::min<qint64>(statedHeaderSize, HeaderSize));
    if (!header || header->size() < HeaderSize) {
        m_problems << QStringLiteral("the header does not name a first entry");
        return;
    }
    qint64 offset = readUInt32(*header, FirstEntryField);
    std::set<qint64> visited;
    qint64 keptBytes = 0;
    while (true) {
        if (!visited.insert(offset).second) {
            m_problems << QStringLiteral("the entry chain loops back to offset %1").arg(offset);
            return;
        }
        const std::optional<QByteArray> record = readAt(file, offset, RecordSize);
        if (!record) {
            m_problems
                << QStringLiteral("an entry record at offset %1 lies outside the file").arg(offset);
            return;
        }
        const qint64 next = readUInt32(*record, NextEntryField);
        if (next == 0) {
            return;
        }
        if (visited.size() >= static_cast<std::size_t>(MaximumRecords) ||
            !loadEntry(file, *record, keptBytes)) {
            m_problems << QStringLiteral("the file holds more entries than a theme can");
            return;
        }
        offset = next;
    }
}

// Adds one entry to its list. Returns false once the file would make us keep
// more than a theme ever needs, which ends the reading.
bool TskThemeFileReader::loadEntry(QFile& file, const QByteArray& record, qint64& keptBytes) {
    const QString key = zeroTerminated(record, 0, KeySize);
    const auto kind = static_cast<EntryKind>(record.at(KindField));
    const qint64 dataOffset = readUInt32(record, DataOffsetField);
    const qint64 dataSize = readUInt32(record, DataSizeField);

    qint64 wanted = 0;
    qint64 kept = 0;
    switch (kind) {
    case EntryKind::Image:
        wanted = kept = dataSize;
        break;
    case EntryKind::Text:
        wanted = dataSize;
        kept = keptTextSize(key.size() + 1 + dataSize);
        break;
    case EntryKind::Integer:
        wanted = 4;
        kept = keptTextSize(key.size() + 1 + std::numeric_limits<std::int32_t>::digits10 + 2);
        break;
    case EntryKind::Boolean:
        wanted = 1;
        kept = keptTextSize(key.size() + 1 + 3);
        break;
    default:
        return true; // Unknown kinds are skipped.
    }
    // Data the file does not hold drops only this entry; only data that is
    // really there counts against what one theme may make us keep.
    if (dataOffset > file.size() || wanted > file.size() - dataOffset) {
        m_problems << QStringLiteral("the data of \"%1\" lies outside the file").arg(key);
        return true;
    }
    if (keptBytes + kept > MaximumKeptBytes) {
        return false;
    }
    if (!keepEntry(file, key, kind, dataOffset, wanted)) {
        m_problems << QStringLiteral("the data of \"%1\" could not be read").arg(key);
        return true;
    }
    keptBytes += kept;
    return true;
}

bool TskThemeFileReader::keepEntry(QFile& file, const QString& key, EntryKind kind, qint64 offset,
                                   qint64 size) {
    if (kind == EntryKind::Text) {
        std::optional<QString> line = readTextLine(file, key, offset, size);
        if (line) {
            m_stringEntries << std::move(*line);
        }
        return line.has_value();
    }
    const std::optional<QByteArray> data = readAt(file, offset, size);
    if (!data) {
        return false;
    }
    if (kind == EntryKind::Image) {
        m_imageEntries.append({key, *data});
    } else if (kind == EntryKind::Integer) {
        m_integerEntries << key + u'=' +
                                QString::number(qFromLittleEndian<std::int32_t>(data->constData()));
    } else {
        m_booleanEntries << key + u'=' + QString::number(static_cast<std::uint8_t>(data->at(0)));
    }
    return true;
}

std::optional<QByteArray> TskThemeFileReader::GetImageStream(const QString& key) const {
    for (const auto& [entryKey, bytes] : m_imageEntries) {
        if (entryKey.compare(key, Qt::CaseInsensitive) == 0) {
            return bytes;
        }
    }
    return std::nullopt;
}

bool TskThemeFileReader::GetBoolValue(const QString& key) const {
    const std::optional<QString> value = ThemeListValue(m_booleanEntries, key);
    bool ok = false;
    const int number = value ? value->toInt(&ok) : 0;
    return ok && number != 0;
}

int TskThemeFileReader::GetIntegerValue(const QString& key) const {
    const std::optional<QString> value = ThemeListValue(m_integerEntries, key);
    bool ok = false;
    const int number = value ? value->toInt(&ok) : -1;
    return ok ? number : -1;
}

std::optional<QString> ThemeListValue(const QStringList& lines, const QString& key) {
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals >= 0 && QStringView(line).left(equals).compare(key, Qt::CaseInsensitive) == 0) {
            return line.mid(equals + 1);
        }
    }
    return std::nullopt;
}
