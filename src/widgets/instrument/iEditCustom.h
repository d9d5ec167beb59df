#pragma once
// A one-line entry field that draws its own text, caret and selection and does
// its own editing: typing, caret keys with Shift and Ctrl, mouse selection,
// the clipboard, a context menu, and a committed text that every undo path
// returns to. Subclasses decide which characters are valid and what a commit
// does with the text.

#include "platform/drawing/Fonts.h"
#include "widgets/instrument/EditModel.h"
#include "widgets/instrument/iCustomComponent.h"

#include <QAction>
#include <QMenu>
#include <QTimer>
#include <functional>

enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TiEditCustom : public TiCustomComponent {
    Q_OBJECT
public:
    explicit TiEditCustom(QWidget* parent = nullptr);
    ~TiEditCustom() override;

    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment value);
    int AlignmentMargin() const { return m_alignmentMargin; }
    void SetAlignmentMargin(int value);
    bool AutoSelect() const { return m_autoSelect; }
    void SetAutoSelect(bool value) { m_autoSelect = value; }
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool value);
    /// Most characters typing and pasting may produce; 0 = no limit.
    int MaxLength() const { return m_maxLength; }
    virtual void SetMaxLength(int value);
    /// A change to the font's attributes re-applies auto-size and repaints.
    TFont& Font() { return m_font; }
    const TFont& Font() const { return m_font; }
    void SetFont(const TFont& value) { m_font.Assign(value); }
    bool AcceptOnLostFocus() const { return m_acceptOnLostFocus; }
    void SetAcceptOnLostFocus(bool value) { m_acceptOnLostFocus = value; }
    TColor Color() const { return m_color; }
    void SetColor(TColor value);

    /// Fired when the committed content changed (not while loading).
    TNotifyEvent OnChange;

    // The edit state.
    QString Text() const { return m_model.text(); }
    /// Replaces the text, puts the caret at the start and commits it.
    void SetText(const QString& value);
    QString CommittedText() const { return m_model.committedText(); }
    int CaretPos() const { return m_model.caretPos(); }
    int SelStart() const { return m_model.selStart(); }
    int SelLength() const { return m_model.selLength(); }
    QString SelText() const { return m_model.selectedText(); }
    int Anchor() const { return m_model.anchor(); }
    int FirstVisible() const { return m_model.firstVisible(); }
    int LastVisible() const { return m_model.lastVisible(); }
    /// Where the text was drawn by the last paint pass.
    QRect TextRect() const { return m_textRect; }
    bool MouseSelecting() const { return m_mouseSelecting; }
    bool AfterDblClick() const { return m_afterDblClick; }
    bool CaretCreated() const { return m_caretCreated; }

    // Editing steps, also used by the keys and the context menu.
    virtual void Commit();
    void Undo();
    virtual void SelectAll();
    void SetSelection(int first, int second);
    void DeleteSelection();
    void InsertText(const QString& text);
    void CopyToClipboard();
    void CutToClipboard();
    void PasteFromClipboard();
    virtual bool IsValidChar(QChar character) const;

    /// The caret position under a pointer x coordinate.
    int CharIndexAt(int x) const;

    /// The field's own context menu ("Apply", "Undo", "Cut", "Copy", "Paste",
    /// "Delete", "Select All"), shown by the right button when no PopupMenu
    /// is assigned. Its items are enabled for the state when it opens.
    QMenu* ContextMenu() const { return m_contextMenu; }
    void UpdateContextMenu();

    /// Border width: 2 with an edge, 0 without.
    int BorderWidth() const { return BorderStyle() == ibsNone ? 0 : 2; }

protected:
    /// Fires OnChange; skipped while loading.
    virtual void DoChange();
    /// A typed character that IsValidChar refused; nothing happens here.
    virtual void CharacterRejected() {}
    /// Height from the font when AutoSize is on, the field is on a parent
    /// and not loading.
    void ApplyAutoSize();
    void SetCommittedText(const QString& value) { m_model.setCommittedText(value); }

    void PaintContent(QPainter& canvas) override;
    void FocusGained() override;
    void FocusLost() override;
    void KeyDownHook(std::uint16_t& key, TShiftState shift) override;
    void KeyPressHook(char16_t& key) override;
    void MouseDownHook(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUpHook(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMoveHook(TShiftState shift, int x, int y) override;
    void DblClickHook() override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildContextMenu();
    void typeCharacter(QChar character);
    void navigate(std::uint16_t key, TShiftState shift);
    /// Runs a commit whose conversion error goes to the application's error
    /// handler (leaving the field, the menu's "Apply").
    static void commitReportingErrors(const std::function<void()>& commit);
    void showContextMenu(int x, int y);
    int widthOf(const QString& run) const;
    int textHeight() const;
    void layoutText(int shownWidth);
    void drawSelection(QPainter& canvas);
    void drawCaret(QPainter& canvas);
    void restartCaretBlink();
    void caretBlinkTick();

    EditModel m_model;
    TAlignment m_alignment = taLeftJustify;
    int m_alignmentMargin = 0;
    bool m_autoSelect = true;
    bool m_autoSize = true;
    int m_maxLength = 0;
    TFont m_font;
    bool m_acceptOnLostFocus = true;
    TColor m_color = clWindow;

    QRect m_textRect;
    bool m_mouseSelecting = false;
    bool m_afterDblClick = false;
    bool m_caretCreated = false;
    bool m_caretShown = false;
    QTimer m_caretBlink;

    QMenu* m_contextMenu = nullptr;
    QAction* m_applyAction = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_cutAction = nullptr;
    QAction* m_copyAction = nullptr;
    QAction* m_pasteAction = nullptr;
    QAction* m_deleteAction = nullptr;
    QAction* m_selectAllAction = nullptr;
};
