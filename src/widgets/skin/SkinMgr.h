#pragma once
// The theme-file component: skinned controls whose UIStyle is FromThemeFile
// point their FileTheme at it and take their look from the file it loaded.

#include "platform/drawing/Color.h"
#include "widgets/skin/FileThemeMgr.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

class QFile;

class TskFileTheme : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ThemeFile READ ThemeFile WRITE SetThemeFile)
public:
    /// Error text for a file without the theme signature.
    static constexpr char InvalidFileMessage[] = "Invalid skin file for Tessora!";
    /// Folders searched, after the path as given and the program's own
    /// folder, for the file name of a theme that is not found.
    static constexpr char SystemDataFolder[] = "/usr/share/kestro-modbus-m/themes";
    static constexpr char SystemConfigFolder[] = "/etc/kestro-modbus-m/themes";

    explicit TskFileTheme(QObject* owner = nullptr);

    QString ThemeFile() const { return m_themeFile; }
    /// Locates, checks and loads a theme file; see SkinMgr.cpp for the order.
    /// Throws ESkinError for a file without the signature or one that cannot
    /// be opened; a file found nowhere is ignored. Either way a failure keeps
    /// the previous theme.
    void SetThemeFile(const QString& value);

    bool CanUse() const { return m_canUse; }

    bool GetImage(int index, QImage* target) const;
    /// Frame `frameIndex` of `frameCount` of image element `index`; the
    /// target is left alone unless the image is found.
    ThemeImageLookup FindImageFrame(int index, QImage* target, int frameCount,
                                    int frameIndex) const;
    /// True when FindImageFrame gives a frame that is not empty.
    bool GetImageFrame(int index, QImage* target, int frameCount, int frameIndex) const;
    bool GetBool(int index) const { return m_manager.GetBool(index); }
    TColor GetColor(int index) const { return m_manager.GetColor(index); }
    int GetInteger(int index) const { return m_manager.GetInteger(index); }

    const TskFileThemeMgr& Manager() const { return m_manager; }

    /// True when `path` opens and its first 12 bytes hold "Tessora_TB" up to
    /// the first zero byte (letter case counts).
    static bool IsValidThemeFile(const QString& path);
    /// The same check on a file that is open already.
    static bool HasSignature(QFile& file);

    /// Where a theme named `value` is looked for, in order.
    static QStringList CandidatePaths(const QString& value);

private:
    void reapplyToOwnerControls(bool wasEmpty);

    QString m_themeFile;
    TskFileThemeMgr m_manager;
    bool m_canUse = false;
};

Q_DECLARE_METATYPE(TskFileTheme*)
