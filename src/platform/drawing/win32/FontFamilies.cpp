#include "platform/drawing/Fonts.h"

#include <QHash>

// Windows has the families the windows name. Only the bitmap-only ones are
// swapped for the scalable twins Windows itself puts in their place, so that
// the text is drawn at the stored pixel heights.

namespace {

const QHash<QString, QString>& familyTable() {
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> map;
        map.insert(QStringLiteral("ms sans serif"), QStringLiteral("Microsoft Sans Serif"));
        map.insert(QStringLiteral("ms serif"), QStringLiteral("Times New Roman"));
        map.insert(QStringLiteral("courier"), QStringLiteral("Courier New"));
        map.insert(QStringLiteral("宋体"), cjkFontFamily());
        map.insert(QStringLiteral("新宋体"), QStringLiteral("NSimSun"));
        map.insert(QStringLiteral("黑体"), QStringLiteral("SimHei"));
        map.insert(QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"));
        return map;
    }();
    return table;
}

} // namespace

QString cjkFontFamily() {
    static const QString family = QStringLiteral("SimSun");
    return family;
}

QString mapFontFamily(const QString& windowsFamily) {
    return familyTable().value(windowsFamily.trimmed().toLower(), windowsFamily);
}

QStringList fontFamiliesFor(const QString& windowsFamily) {
    // Under Wine neither Microsoft's faces nor SimSun are there, but the
    // Linux desktop's are: WenQuanYi and DejaVu stand in as on Linux.
    const QString mapped = mapFontFamily(windowsFamily);
    const QString linuxCjk = QStringLiteral("WenQuanYi Zen Hei");
    const QString linuxSans = QStringLiteral("DejaVu Sans");
    if (mapped == cjkFontFamily()) {
        return {mapped, linuxCjk};
    }
    return {mapped, cjkFontFamily(), linuxSans, linuxCjk};
}
