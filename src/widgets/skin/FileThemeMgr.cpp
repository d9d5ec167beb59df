#include "widgets/skin/FileThemeMgr.h"

#include "widgets/skin/SkinThemes.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>

namespace {
// Skin strips are a few hundred pixels wide; this leaves ample room.
constexpr int MaximumImageMegabytes = 16;

// An index outside the element list has no key; it must not find an entry
// that a file stored under an empty key.
bool hasKey(int index) {
    return !ThemeElementKey(index).isEmpty();
}
} // namespace

bool TskFileThemeMgr::LoadTheme(const QString& path) {
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    // The new reader is complete before the old one goes, so a file that
    // cannot be read leaves the previous theme in place.
    auto reader = std::make_unique<TskThemeFileReader>(path);
    m_reader = std::move(reader);
    return true;
}

bool TskFileThemeMgr::GetImage(int index, QImage* target) const {
    if (m_reader == nullptr || target == nullptr || !hasKey(index)) {
        return false;
    }
    const std::optional<QByteArray> bytes = m_reader->GetImageStream(ThemeElementKey(index));
    if (!bytes || bytes->isEmpty()) {
        return false;
    }
    QByteArray data = *bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader decoder(&buffer, "BMP");
    // A damaged header can claim an image far larger than the file; such a
    // claim is refused instead of allocating for it.
    decoder.setAllocationLimit(MaximumImageMegabytes);
    QImage image;
    if (!decoder.read(&image) || image.isNull()) {
        return false;
    }
    *target = image;
    return true;
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
