#include "widgets/instrument/EditModel.h"

#include <algorithm>
#include <cstdlib>

void EditModel::replaceText(const QString& text) {
    m_text = text;
    m_selLength = 0;
    m_selStart = 0;
    m_caretPos = 0;
    m_anchor = 0;
}

void EditModel::undo(bool selectAll) {
    replaceText(m_committedText);
    if (selectAll) {
        this->selectAll();
    }
}

void EditModel::setCaretPos(int position) {
    m_caretPos = clampToText(position);
}

void EditModel::selectAll() {
    m_selStart = 0;
    m_selLength = static_cast<int>(m_text.size());
}

void EditModel::setSelection(int first, int second) {
    first = clampToText(first);
    second = clampToText(second);
    m_selStart = std::min(first, second);
    m_selLength = std::abs(first - second);
}

void EditModel::deleteSelection() {
    if (m_selLength <= 0) {
        return;
    }
    m_text.remove(m_selStart, m_selLength);
    m_caretPos = m_selStart;
    m_selLength = 0;
}

void EditModel::insertText(const QString& text) {
    deleteSelection();
    m_text.insert(m_caretPos, text);
    m_caretPos += static_cast<int>(text.size());
}

void EditModel::backspace() {
    if (hasSelection()) {
        deleteSelection();
        return;
    }
    if (m_caretPos == 0) {
        return;
    }
    --m_caretPos;
    m_text.remove(m_caretPos, 1);
    m_selStart = std::min(m_selStart, static_cast<int>(m_text.size()));
}

void EditModel::deleteForward() {
    if (hasSelection()) {
        deleteSelection();
        return;
    }
    if (m_caretPos < m_text.size()) {
        m_text.remove(m_caretPos, 1);
    }
    m_selStart = std::min(m_selStart, static_cast<int>(m_text.size()));
}

QString EditModel::pasteablePart(const QString& clipboardText, int maxLength) const {
    if (maxLength <= 0) {
        return clipboardText;
    }
    const qsizetype room = maxLength - m_text.size();
    return room > 0 ? clipboardText.left(room) : QString();
}

EditModel::TypeResult EditModel::typeCharacter(QChar character, int maxLength) {
    if (maxLength <= 0 || m_text.size() < maxLength || hasSelection()) {
        insertText(QString(character));
        return TypeResult::Inserted;
    }
    return TypeResult::Refused;
}

void EditModel::navigate(NavigationKey key, bool shift, bool control) {
    if (shift && !hasSelection()) {
        m_anchor = m_caretPos;
    }
    switch (key) {
    case NavigationKey::Left:
        m_caretPos = control ? 0 : std::max(0, m_caretPos - 1);
        break;
    case NavigationKey::Right:
        m_caretPos = control ? static_cast<int>(m_text.size())
                             : std::min(static_cast<int>(m_text.size()), m_caretPos + 1);
        break;
    case NavigationKey::Home:
        m_caretPos = 0;
        break;
    case NavigationKey::End:
        m_caretPos = static_cast<int>(m_text.size());
        break;
    }
    if (shift) {
        setSelection(m_anchor, m_caretPos);
    } else {
        m_selLength = 0;
    }
}

void EditModel::beginMouseSelection(int position, bool keepSelection) {
    m_caretPos = clampToText(position);
    if (keepSelection) {
        return;
    }
    m_selLength = 0;
    m_selStart = m_caretPos;
    m_anchor = m_caretPos;
}

void EditModel::extendMouseSelection(int position) {
    m_caretPos = clampToText(position);
    setSelection(m_anchor, m_caretPos);
}

int EditModel::runWidth(int first, int last, const WidthOf& widthOf) const {
    if (last < first) {
        return 0;
    }
    return widthOf(m_text.mid(first, last - first + 1));
}

// The window shrinks from the right only down to its first character; when
// even that one does not fit, nothing is shown (lastVisible = firstVisible - 1)
// rather than walking firstVisible forward, so the scroll step below can
// always reach the caret and stop.
//
// A run grows wider as it takes in more characters, so the last character that
// fits is found by halving the range instead of dropping one character at a
// time: a long pasted text is measured a few dozen times per paint, not
// millions of times.
void EditModel::fitFrom(int availableWidth, const WidthOf& widthOf) {
    int fits = m_firstVisible - 1; // the empty window always "fits"
    int tooWide = static_cast<int>(m_text.size());
    if (runWidth(m_firstVisible, tooWide - 1, widthOf) <= availableWidth) {
        m_lastVisible = tooWide - 1;
        return;
    }
    while (tooWide - fits > 1) {
        const int middle = fits + (tooWide - fits) / 2;
        if (runWidth(m_firstVisible, middle, widthOf) <= availableWidth) {
            fits = middle;
        } else {
            tooWide = middle;
        }
    }
    m_lastVisible = fits;
}

void EditModel::fitVisible(int availableWidth, const WidthOf& widthOf) {
    const int length = static_cast<int>(m_text.size());
    if (runWidth(0, length - 1, widthOf) < availableWidth) {
        m_firstVisible = 0;
        m_lastVisible = length - 1;
        return;
    }
    m_firstVisible = std::clamp(m_firstVisible, 0, length);
    if (m_caretPos < m_firstVisible) {
        m_firstVisible = m_caretPos;
    }
    fitFrom(availableWidth, widthOf);
    if (m_lastVisible + 1 >= m_caretPos || m_firstVisible >= m_caretPos) {
        return;
    }
    // The caret lies right of the window: the window moves right to the first
    // start from which the characters up to the caret fit, or to the caret
    // itself when not even one character fits.
    int tooFar = m_firstVisible; // known not to reach the caret
    int reaches = m_caretPos;
    while (reaches - tooFar > 1) {
        const int middle = tooFar + (reaches - tooFar) / 2;
        if (runWidth(middle, m_caretPos - 1, widthOf) <= availableWidth) {
            reaches = middle;
        } else {
            tooFar = middle;
        }
    }
    m_firstVisible = reaches;
    fitFrom(availableWidth, widthOf);
}

QString EditModel::visibleText() const {
    if (m_lastVisible < m_firstVisible) {
        return QString();
    }
    return m_text.mid(m_firstVisible, m_lastVisible - m_firstVisible + 1);
}

int EditModel::widthBefore(int position, const WidthOf& widthOf) const {
    return runWidth(m_firstVisible, std::min(position, m_lastVisible + 1) - 1, widthOf);
}

int EditModel::charIndexAt(int x, int textLeft, const WidthOf& widthOf) const {
    if (x < textLeft) {
        return std::max(0, m_firstVisible - 1);
    }
    const int length = static_cast<int>(m_text.size());
    for (int position = m_firstVisible; position <= m_lastVisible + 1; ++position) {
        const int before = runWidth(m_firstVisible, position - 1, widthOf);
        // Half of the p-th character counting from 1, the one left of
        // position p; position 0 takes the first character.
        const int leftOf = std::max(position - 1, 0);
        const int half = leftOf < length ? widthOf(m_text.mid(leftOf, 1)) / 2 : 0;
        if (x < textLeft + before + half) {
            return position;
        }
    }
    return std::min(m_lastVisible + 1, length);
}

int EditModel::clampToText(int position) const {
    return std::clamp(position, 0, static_cast<int>(m_text.size()));
}
