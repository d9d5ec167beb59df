#pragma once
// The editing state of a one-line field without any window: text, caret,
// selection with its anchor, the committed text that undo returns to, and the
// window of characters that fits the field. The widget maps keys, mouse and
// clipboard onto these steps and draws the result.

#include <QString>
#include <functional>

class EditModel {
public:
    /// Width in pixels of a run of characters in the field's font.
    using WidthOf = std::function<int(const QString&)>;

    enum class NavigationKey { Left, Right, Home, End };
    enum class TypeResult { Inserted, Refused };

    const QString& text() const { return m_text; }
    const QString& committedText() const { return m_committedText; }
    int caretPos() const { return m_caretPos; }
    int selStart() const { return m_selStart; }
    int selLength() const { return m_selLength; }
    int anchor() const { return m_anchor; }
    int firstVisible() const { return m_firstVisible; }
    int lastVisible() const { return m_lastVisible; }
    bool hasSelection() const { return m_selLength > 0; }
    bool isModified() const { return m_text != m_committedText; }
    QString selectedText() const { return m_text.mid(m_selStart, m_selLength); }

    /// Text := text, no selection, caret at the start. Commits nothing.
    void replaceText(const QString& text);
    void setCommittedText(const QString& text) { m_committedText = text; }
    /// Back to the committed text; caret at the start, whole text selected
    /// when selectAll is set.
    void undo(bool selectAll);

    void setCaretPos(int position);
    void selectAll();
    void setSelection(int first, int second);
    void clearSelection() { m_selLength = 0; }
    void deleteSelection();
    void insertText(const QString& text);
    void backspace();
    void deleteForward();

    /// The part of a clipboard text that pasting may insert: all of it without
    /// a length limit, otherwise only what fits beside the current text (the
    /// selection still counts, as it is removed only by the insert).
    QString pasteablePart(const QString& clipboardText, int maxLength) const;

    /// A typed character that passed the field's filter: inserted when there
    /// is no length limit, room left, or a selection to replace.
    TypeResult typeCharacter(QChar character, int maxLength);

    /// Caret movement; with shift the selection runs from the anchor to the
    /// caret, without it the selection is dropped.
    void navigate(NavigationKey key, bool shift, bool control);

    /// Mouse press at a character position. keepSelection is set for the
    /// press that follows a double click, which keeps the whole text selected.
    void beginMouseSelection(int position, bool keepSelection);
    void extendMouseSelection(int position);

    /// Chooses firstVisible/lastVisible so that the caret stays in view and
    /// the shown characters are no wider than availableWidth. Always ends:
    /// with no room at all, nothing is shown and the caret sits at the start.
    void fitVisible(int availableWidth, const WidthOf& widthOf);
    QString visibleText() const;
    /// Width of the characters from firstVisible up to (not including) position.
    int widthBefore(int position, const WidthOf& widthOf) const;

    /// The caret position nearest to x for a text drawn from textLeft.
    int charIndexAt(int x, int textLeft, const WidthOf& widthOf) const;

private:
    int clampToText(int position) const;
    int runWidth(int first, int last, const WidthOf& widthOf) const;
    void fitFrom(int availableWidth, const WidthOf& widthOf);

    QString m_text;
    QString m_committedText;
    int m_caretPos = 0;
    int m_selStart = 0;
    int m_selLength = 0;
    int m_anchor = 0;
    int m_firstVisible = 0;
    int m_lastVisible = -1;
};
