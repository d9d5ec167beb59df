#include "widgets/skin/FileThemeMgr.h"

#include "widgets/skin/SkinThemes.h"

#include "platform/storage/RegularFile.h"

#include <QBuffer>
#include <QImageReader>
#include <cstring>

namespace {
// Skin strips are a few hundred pixels wide; this leaves ample room.
constexpr int MaximumImageMegabytes = 16;

// A whole bitmap file, or a null image when the bytes are none.
QImage decode(QByteArray bytes) {
    if (bytes.isEmpty()) {
        return {};
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader decoder(&buffer, "BMP");
    // A damaged header can claim an image far larger than the file; such a
    // claim is refused instead of allocating for it.
    decoder.setAllocationLimit(MaximumImageMegabytes);
    QImage image;
    if (!decoder.read(&image)) {
        return {};
    }
    return image;
}

// An index outside the element list has no key; it must not find an entry
// that a file stored under an empty key.
bool hasKey(int index) {
    return !ThemeElementKey(index).isEmpty();
}
} // namespace

bool TskFileThemeMgr::LoadTheme(const QString& path) {
    const OpenedRegularFile opened = openRegularFileForReading(path);
    switch (opened.outcome) {
    case OpenedRegularFile::Outcome::Missing:
    case OpenedRegularFile::Outcome::NotRegular:
        return false;
    case OpenedRegularFile::Outcome::Refused:
        throw ESkinError("Cannot open file \"" + path.toStdString() + "\". " +
                         std::strerror(opened.error));
    case OpenedRegularFile::Outcome::Opened:
        break;
    }
    LoadTheme(*opened.file);
    return true;
}

void TskFileThemeMgr::LoadTheme(QFile& file) {
    // The file is open, so reading it cannot fail any more: the old theme
    // goes first, and the two are never held at once.
    m_decoded.clear();
    m_reader.reset();
    m_reader = std::make_unique<TskThemeFileReader>(file);
}

ThemeImageLookup TskFileThemeMgr::FindImage(int index, QImage* target) const {
    if (m_reader == nullptr || target == nullptr || !hasKey(index)) {
        return ThemeImageLookup::Absent;
    }
    auto decoded = m_decoded.find(index);
    if (decoded == m_decoded.end()) {
        const std::optional<QByteArray> bytes = m_reader->GetImageStream(ThemeElementKey(index));
        if (!bytes) {
            return ThemeImageLookup::Absent;
        }
        decoded = m_decoded.emplace(index, decode(*bytes)).first;
    }
    if (decoded->second.isNull()) {
        return ThemeImageLookup::Undecodable;
    }
    *target = decoded->second;
    return ThemeImageLookup::Found;
}

bool TskFileThemeMgr::GetImage(int index, QImage* target) const {
    return FindImage(index, target) == ThemeImageLookup::Found;
}

bool TskFileThemeMgr::GetBool(int index) const {
    return m_reader != nullptr && hasKey(index) && m_reader->GetBoolValue(ThemeElementKey(index));
}

TColor TskFileThemeMgr::GetColor(int index) const {
    return static_cast<TColor>(GetInteger(index));
}

int TskFileThemeMgr::GetInteger(int index) const {
    if (m_reader == nullptr) {
        return 0;
    }
    return hasKey(index) ? m_reader->GetIntegerValue(ThemeElementKey(index)) : -1;
}
