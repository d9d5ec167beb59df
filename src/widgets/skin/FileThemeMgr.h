#pragma once
// Owns the reader of the loaded theme file and answers element lookups by
// index (1 to 48), the key of each index being the element key of the skin
// styles. Images are decoded once per load, when first asked for.

#include "platform/drawing/Color.h"
#include "widgets/skin/ThemeFileReader.h"

#include <QImage>
#include <QString>
#include <map>
#include <memory>

class QFile;

/// What an image lookup found.
enum class ThemeImageLookup {
    Found,       ///< the element's image, decoded
    Absent,      ///< no reader, or no entry under the element's key
    Undecodable, ///< an entry whose bytes are no image
};

class TskFileThemeMgr {
public:
    /// False when `path` is not an existing regular file; otherwise lets the
    /// previous reader go, reads the file with a new one and returns true. A
    /// file that cannot be opened throws ESkinError and keeps the previous
    /// reader.
    bool LoadTheme(const QString& path);
    /// The same for a theme file that is open already.
    void LoadTheme(QFile& file);

    /// Image element `index` into `target`, which is left alone unless the
    /// image is found.
    ThemeImageLookup FindImage(int index, QImage* target) const;
    /// True when FindImage finds the image.
    bool GetImage(int index, QImage* target) const;
    /// Boolean element; false without a reader or for an absent key.
    bool GetBool(int index) const;
    /// Colour element, read from the integer list; 0 without a reader, -1
    /// (all bits set) for an absent key.
    TColor GetColor(int index) const;
    /// Integer element; 0 without a reader, -1 for an absent key.
    int GetInteger(int index) const;

    const TskThemeFileReader* Reader() const { return m_reader.get(); }

private:
    std::unique_ptr<TskThemeFileReader> m_reader;
    // Decoded images of this load by element index; a null image stands for
    // bytes that did not decode.
    mutable std::map<int, QImage> m_decoded;
};
