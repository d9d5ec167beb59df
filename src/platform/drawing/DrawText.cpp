#include "platform/drawing/DrawText.h"

#include <QFontMetrics>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace {

// One line after prefix handling: the printed characters and the index of
// the underlined one (-1 for none).
struct Line {
    QString text;
    int underlined = -1;
};

// Removes the prefix markers of one piece of text.
Line stripPrefix(const QString& text) {
    Line line;
    for (int index = 0; index < text.size(); ++index) {
        const QChar character = text.at(index);
        if (character != QLatin1Char('&')) {
            line.text += character;
            continue;
        }
        if (index + 1 >= text.size()) {
            break; // a trailing lone ampersand prints nothing
        }
        const QChar next = text.at(++index);
        if (next != QLatin1Char('&') && line.underlined < 0) {
            line.underlined = static_cast<int>(line.text.size());
        }
        line.text += next;
    }
    return line;
}

QStringList splitParagraphs(const QString& text, unsigned format) {
    if (format & TextFormat::SingleLine) {
        return {text};
    }
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return normalised.split(QLatin1Char('\n'));
}

bool isCjk(QChar character) {
    return character.unicode() >= 0x2E80;
}

// Greedy wrap over units (a word, a run of spaces, or one CJK ideograph): a
// line ends before the unit that would pass the width, and the spaces at the
// break are dropped. A word wider than the width stays whole on a line of its
// own, as the desktop did.
std::vector<Line> wrapParagraph(const Line& paragraph, const QFontMetrics& metrics, int width) {
    const QString& text = paragraph.text;
    const int length = static_cast<int>(text.size());
    std::vector<Line> lines;
    auto push = [&](int start, int end) {
        Line line{text.mid(start, end - start), -1};
        if (paragraph.underlined >= start && paragraph.underlined < end) {
            line.underlined = paragraph.underlined - start;
        }
        lines.push_back(line);
    };
    const QChar space = QLatin1Char(' ');
    int lineStart = 0;
    int lineEnd = 0; // end of the last unit accepted on the current line
    int index = 0;
    while (index < length) {
        int unitEnd = index + 1;
        if (text.at(index) == space) {
            while (unitEnd < length && text.at(unitEnd) == space) {
                ++unitEnd;
            }
            index = unitEnd; // spaces count only once a later unit joins the line
            continue;
        }
        if (!isCjk(text.at(index))) {
            while (unitEnd < length && text.at(unitEnd) != space && !isCjk(text.at(unitEnd))) {
                ++unitEnd;
            }
        }
        const int unitRight = metrics.horizontalAdvance(text.mid(lineStart, unitEnd - lineStart));
        if (unitRight > width && lineEnd > lineStart) {
            push(lineStart, lineEnd);
            lineStart = index;
        }
        lineEnd = unitEnd;
        index = unitEnd;
    }
    if (lineEnd > lineStart || lines.empty()) {
        push(lineStart, std::max(lineStart, lineEnd));
    }
    return lines;
}

std::vector<Line> layOut(const QString& text, const QFontMetrics& metrics, int width,
                         unsigned format) {
    std::vector<Line> lines;
    for (const QString& piece : splitParagraphs(text, format)) {
        const Line paragraph =
            (format & TextFormat::NoPrefix) ? Line{piece, -1} : stripPrefix(piece);
        if ((format & TextFormat::WordBreak) && !(format & TextFormat::SingleLine)) {
            for (const Line& line : wrapParagraph(paragraph, metrics, width)) {
                lines.push_back(line);
            }
        } else {
            lines.push_back(paragraph);
        }
    }
    return lines;
}

int widestLine(const std::vector<Line>& lines, const QFontMetrics& metrics) {
    int widest = 0;
    for (const Line& line : lines) {
        widest = std::max(widest, metrics.horizontalAdvance(line.text));
    }
    return widest;
}

QFont pixelExactFont(QFont font) {
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

void drawLine(QPainter& painter, const Line& line, int x, int baseline,
              const QFontMetrics& metrics) {
    painter.drawText(QPoint(x, baseline), line.text);
    if (line.underlined < 0) {
        return;
    }
    // The accelerator underline: one pixel below the baseline, as wide as the
    // character.
    const int start = x + metrics.horizontalAdvance(line.text.left(line.underlined));
    const int width = metrics.horizontalAdvance(line.text.mid(line.underlined, 1));
    const int y = baseline + std::max(1, metrics.underlinePos());
    painter.fillRect(QRect(start, y, width, std::max(1, metrics.lineWidth())),
                     painter.pen().color());
}

} // namespace

int DrawTextInRect(QPainter& painter, const QString& text, QRect& rect, unsigned format) {
    const QFont font = pixelExactFont(painter.font());
    const QFontMetrics metrics(font);
    const std::vector<Line> lines = layOut(text, metrics, rect.width(), format);
    const int lineHeight = metrics.height();
    const int height = lineHeight * static_cast<int>(lines.size());
    if (format & TextFormat::CalcRect) {
        rect.setWidth(widestLine(lines, metrics));
        rect.setHeight(height);
        return height;
    }

    const int left = rect.x();
    const int top = rect.y();
    const int right = rect.x() + rect.width();
    const int bottom = rect.y() + rect.height();
    // Centring counts from the rectangle's own corner (half the spare room,
    // rounded toward zero), so text larger than the rectangle overhangs it
    // evenly wherever the rectangle lies.
    int y = top;
    if (format & TextFormat::SingleLine) {
        if (format & TextFormat::VCenter) {
            y = top + (bottom - top - lineHeight) / 2;
        } else if (format & TextFormat::Bottom) {
            y = bottom - lineHeight;
        }
    }

    painter.save();
    painter.setFont(font);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    if (!(format & TextFormat::NoClip)) {
        painter.setClipRect(rect.normalized(), Qt::IntersectClip);
        if (rect.width() <= 0 || rect.height() <= 0) {
            painter.restore();
            return height;
        }
    }
    for (const Line& line : lines) {
        // Left-aligned text needs no measuring (laying out a line costs as
        // much as drawing it).
        int x = left;
        if (format & TextFormat::Center) {
            x = left + (right - left - metrics.horizontalAdvance(line.text)) / 2;
        } else if (format & TextFormat::Right) {
            x = right - metrics.horizontalAdvance(line.text);
        }
        drawLine(painter, line, x, y + metrics.ascent(), metrics);
        y += lineHeight;
    }
    painter.restore();
    return height;
}

int DrawTextInRect(QPainter& painter, const QString& text, const QRect& rect, unsigned format) {
    QRect copy = rect;
    return DrawTextInRect(painter, text, copy, format);
}

QSize measureText(const QFont& font, const QString& text, int width, unsigned format) {
    const QFontMetrics metrics(pixelExactFont(font));
    const std::vector<Line> lines = layOut(text, metrics, width, format);
    return QSize(widestLine(lines, metrics), metrics.height() * static_cast<int>(lines.size()));
}

int textWidth(const QFont& font, const QString& text) {
    return QFontMetrics(pixelExactFont(font)).horizontalAdvance(text);
}

int textHeight(const QFont& font, const QString& text) {
    Q_UNUSED(text); // every line of a font is as tall as the font's cell
    return QFontMetrics(pixelExactFont(font)).height();
}

QChar acceleratorOf(const QString& caption) {
    const Line line = stripPrefix(caption);
    return line.underlined >= 0 ? line.text.at(line.underlined) : QChar();
}
