#include "platform/drawing/Fonts.h"

#include <QHash>

// A Debian desktop has none of the Windows families: the dialog fonts become
// DejaVu, the Chinese ones WenQuanYi Zen Hei (fonts-wqy-zenhei).

namespace {

const QHash<QString, QString>& familyTable() {
    static const QHash<QString, QString> table = [] {
        const QString sans = QStringLiteral("DejaVu Sans");
        const QString serif = QStringLiteral("DejaVu Serif");
        const QString mono = QStringLiteral("DejaVu Sans Mono");
        QHash<QString, QString> map;
        for (const char* name : {"ms sans serif", "microsoft sans serif", "ms shell dlg",
                                 "ms shell dlg 2", "tahoma", "arial", "verdana", "segoe ui"}) {
            map.insert(QString::fromLatin1(name), sans);
        }
        map.insert(QStringLiteral("times new roman"), serif);
        map.insert(QStringLiteral("courier new"), mono);
        map.insert(QStringLiteral("courier"), mono);
        for (const QString& name :
             {QStringLiteral("宋体"), QStringLiteral("新宋体"), QStringLiteral("黑体"),
              QStringLiteral("微软雅黑"), QStringLiteral("simsun"), QStringLiteral("nsimsun"),
              QStringLiteral("simhei"), QStringLiteral("microsoft yahei")}) {
            map.insert(name, cjkFontFamily());
        }
        return map;
    }();
    return table;
}

} // namespace

QString cjkFontFamily() {
    static const QString family = QStringLiteral("WenQuanYi Zen Hei");
    return family;
}

QString mapFontFamily(const QString& windowsFamily) {
    return familyTable().value(windowsFamily.trimmed().toLower(), windowsFamily);
}

QStringList fontFamiliesFor(const QString& windowsFamily) {
    return {mapFontFamily(windowsFamily), cjkFontFamily()};
}
