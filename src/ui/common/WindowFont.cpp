#include "ui/common/WindowFont.h"

#include "platform/drawing/Fonts.h"

QFont WindowFont() {
    QFont font = makeFont(QStringLiteral("MS Sans Serif"), -11);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}
