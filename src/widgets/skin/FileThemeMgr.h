#pragma once
// Owns the reader of the loaded theme file and answers element lookups by
// index (1 to 48), the key of each index being the element key of the skin
// styles.

#include "platform/drawing/Color.h"
#include "widgets/skin/ThemeFileReader.h"

#include <QImage>
#include <QString>
#include <memory>

class TskFileThemeMgr {
public:
    /// False when the file does not exist; otherwise reads it with a new
    /// reader that replaces the previous one and returns true. A file that
    /// cannot be opened throws ESkinError and keeps the previous reader.
    bool LoadTheme(const QString& path);

    /// Decodes image element `index` into `target`. Returns false and leaves
    /// `target` alone when there is no reader, the key is absent or the bytes
    /// are not an image.
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
};
