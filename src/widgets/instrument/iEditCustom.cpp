#include "widgets/instrument/iEditCustom.h"

#include "platform/drawing/Beep.h"
#include "platform/drawing/DrawText.h"
#include "platform/system/ApplicationErrors.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <algorithm>

namespace {

constexpr QSize creationSize{80, 21};
// The caret is one pixel wide and starts three pixels below the top, in line
// with the text of a field with an edge.
constexpr int caretWidth = 1;
constexpr int caretTop = 3;

QClipboard* clipboard() {
    return QGuiApplication::clipboard();
}

EditModel::NavigationKey navigationKeyOf(std::uint16_t key) {
    switch (key) {
    case VirtualKey::Left:
        return EditModel::NavigationKey::Left;
    case VirtualKey::Right:
        return EditModel::NavigationKey::Right;
    case VirtualKey::Home:
        return EditModel::NavigationKey::Home;
    default:
        return EditModel::NavigationKey::End;
    }
}

} // namespace

TiEditCustom::TiEditCustom(QWidget* parent) : TiCustomComponent(parent) {
    SetBorderStyle(ibsLowered);
    SetTabStop(true);
    resize(creationSize);
    setCursor(Qt::IBeamCursor);
    m_font.OnChange = [this] {
        ApplyAutoSize();
        RequestRepaint();
    };
    connect(&m_caretBlink, &QTimer::timeout, this, &TiEditCustom::caretBlinkTick);
    buildContextMenu();
}

TiEditCustom::~TiEditCustom() {
    m_font.OnChange = nullptr;
}

void TiEditCustom::buildContextMenu() {
    m_contextMenu = new QMenu(this);
    m_applyAction = m_contextMenu->addAction(tr("Apply"));
    m_undoAction = m_contextMenu->addAction(tr("Undo"));
    m_contextMenu->addSeparator();
    m_cutAction = m_contextMenu->addAction(tr("Cut"));
    m_copyAction = m_contextMenu->addAction(tr("Copy"));
    m_pasteAction = m_contextMenu->addAction(tr("Paste"));
    m_deleteAction = m_contextMenu->addAction(tr("Delete"));
    m_contextMenu->addSeparator();
    m_selectAllAction = m_contextMenu->addAction(tr("Select All"));

    // A menu command is operator input; a conversion error leaves the typed
    // text as it is and goes to the application's error handler.
    connect(m_applyAction, &QAction::triggered, this,
            [this] { commitReportingErrors([this] { asUserInput([this] { Commit(); }); }); });
    connect(m_undoAction, &QAction::triggered, this, &TiEditCustom::Undo);
    connect(m_cutAction, &QAction::triggered, this, &TiEditCustom::CutToClipboard);
    connect(m_copyAction, &QAction::triggered, this, &TiEditCustom::CopyToClipboard);
    connect(m_pasteAction, &QAction::triggered, this, &TiEditCustom::PasteFromClipboard);
    connect(m_deleteAction, &QAction::triggered, this, &TiEditCustom::DeleteSelection);
    connect(m_selectAllAction, &QAction::triggered, this, &TiEditCustom::SelectAll);
}

void TiEditCustom::UpdateContextMenu() {
    const bool error = ErrorActive();
    const bool selection = m_model.hasSelection();
    m_applyAction->setEnabled(m_model.isModified() && !error);
    m_undoAction->setEnabled(m_model.isModified() && !error);
    m_cutAction->setEnabled(selection && !error);
    m_deleteAction->setEnabled(selection && !error);
    m_copyAction->setEnabled(selection || error);
    m_pasteAction->setEnabled(!clipboard()->text().isEmpty() && !error);
    m_selectAllAction->setEnabled(SelLength() != Text().size());
}

void TiEditCustom::SetAlignment(TAlignment value) {
    if (value == m_alignment) {
        return;
    }
    m_alignment = value;
    RequestRepaint();
}

void TiEditCustom::SetAlignmentMargin(int value) {
    if (value == m_alignmentMargin) {
        return;
    }
    m_alignmentMargin = value;
    RequestRepaint();
}

void TiEditCustom::SetAutoSize(bool value) {
    if (value == m_autoSize) {
        return;
    }
    m_autoSize = value;
    ApplyAutoSize();
    RequestRepaint();
}

void TiEditCustom::SetMaxLength(int value) {
    if (value == m_maxLength) {
        return;
    }
    m_maxLength = value;
    RequestRepaint();
}

void TiEditCustom::SetColor(TColor value) {
    if (value == m_color) {
        return;
    }
    m_color = value;
    RequestRepaint();
}

void TiEditCustom::SetText(const QString& value) {
    if (value == m_model.text()) {
        return;
    }
    m_model.replaceText(value);
    Commit();
    RequestRepaint();
}

void TiEditCustom::Commit() {
    if (!m_model.isModified()) {
        return;
    }
    DoChange();
    m_model.setCommittedText(m_model.text());
    if (m_autoSelect) {
        SelectAll();
    }
    RequestRepaint();
}

void TiEditCustom::DoChange() {
    if (!Loading() && OnChange) {
        OnChange(this);
    }
}

void TiEditCustom::Undo() {
    m_model.undo(m_autoSelect);
    RequestRepaint();
}

void TiEditCustom::SelectAll() {
    m_model.selectAll();
    RequestRepaint();
}

void TiEditCustom::SetSelection(int first, int second) {
    m_model.setSelection(first, second);
    RequestRepaint();
}

void TiEditCustom::DeleteSelection() {
    m_model.deleteSelection();
    RequestRepaint();
}

void TiEditCustom::InsertText(const QString& text) {
    m_model.insertText(text);
    RequestRepaint();
}

void TiEditCustom::CopyToClipboard() {
    if (ErrorActive()) {
        clipboard()->setText(ErrorText());
    } else if (m_model.hasSelection()) {
        clipboard()->setText(m_model.selectedText());
    }
}

void TiEditCustom::CutToClipboard() {
    if (ErrorActive()) {
        clipboard()->setText(ErrorText());
        return;
    }
    if (m_model.hasSelection()) {
        clipboard()->setText(m_model.selectedText());
        DeleteSelection();
    }
}

// The room is counted before the selection goes, so pasting into a full
// field inserts nothing; the selection is still removed, and the next commit
// finds the text it can read or brings the committed one back.
void TiEditCustom::PasteFromClipboard() {
    if (ErrorActive()) {
        return;
    }
    InsertText(m_model.pasteablePart(clipboard()->text(), m_maxLength));
}

bool TiEditCustom::IsValidChar(QChar /*character*/) const {
    return true;
}

int TiEditCustom::CharIndexAt(int x) const {
    return m_model.charIndexAt(x, m_textRect.left(),
                               [this](const QString& run) { return widthOf(run); });
}

void TiEditCustom::ApplyAutoSize() {
    if (!m_autoSize || Loading() || !parentWidget()) {
        return;
    }
    SetHeight(textHeight() + 2 * BorderWidth() + 4);
}

int TiEditCustom::widthOf(const QString& run) const {
    return textWidth(m_font.toQFont(), run);
}

int TiEditCustom::textHeight() const {
    return ::textHeight(m_font.toQFont(), QStringLiteral("ABC"));
}

// Keys

void TiEditCustom::KeyPressHook(char16_t& key) {
    switch (key) {
    case 1: // Ctrl+A
        SelectAll();
        break;
    case 3: // Ctrl+C
        CopyToClipboard();
        break;
    case 8: // Backspace
        m_model.backspace();
        break;
    case 13: // Enter
        Commit();
        SelectAll();
        break;
    case 22: // Ctrl+V
        PasteFromClipboard();
        break;
    case 24: // Ctrl+X
        CutToClipboard();
        break;
    case 26: // Ctrl+Z
    case 27: // Escape
        Undo();
        break;
    default:
        typeCharacter(QChar(key));
        break;
    }
    restartCaretBlink();
    RequestRepaint();
}

void TiEditCustom::typeCharacter(QChar character) {
    // Other control codes (Ctrl+letters without a command, Delete's code) are
    // keys, not text, and never enter the field.
    if (!character.isPrint()) {
        return;
    }
    if (!IsValidChar(character)) {
        CharacterRejected();
        return;
    }
    if (m_model.typeCharacter(character, m_maxLength) == EditModel::TypeResult::Refused) {
        Beep::play();
    }
}

void TiEditCustom::KeyDownHook(std::uint16_t& key, TShiftState shift) {
    switch (key) {
    case VirtualKey::Left:
    case VirtualKey::Right:
    case VirtualKey::Home:
    case VirtualKey::End:
        navigate(key, shift);
        break;
    case VirtualKey::Delete:
        m_model.deleteForward();
        restartCaretBlink();
        RequestRepaint();
        break;
    default:
        break;
    }
}

void TiEditCustom::navigate(std::uint16_t key, TShiftState shift) {
    m_model.navigate(navigationKeyOf(key), (shift & ssShift) != 0, (shift & ssCtrl) != 0);
    restartCaretBlink();
    RequestRepaint();
}

// Mouse

void TiEditCustom::MouseDownHook(TMouseButton button, TShiftState /*shift*/, int x, int y) {
    if (!Focused()) {
        setFocus(Qt::MouseFocusReason);
        if (m_autoSelect) {
            SelectAll();
        }
    }
    if (button == mbRight && !PopupMenu()) {
        showContextMenu(x, y);
        return;
    }
    const bool keepSelection = m_afterDblClick;
    m_afterDblClick = false;
    m_model.beginMouseSelection(CharIndexAt(x), keepSelection);
    m_mouseSelecting = true;
    restartCaretBlink();
    RequestRepaint();
}

void TiEditCustom::MouseMoveHook(TShiftState /*shift*/, int x, int /*y*/) {
    if (!m_mouseSelecting) {
        return;
    }
    m_model.extendMouseSelection(CharIndexAt(x));
    restartCaretBlink();
    RequestRepaint();
}

void TiEditCustom::MouseUpHook(TMouseButton /*button*/, TShiftState /*shift*/, int /*x*/,
                               int /*y*/) {
    m_mouseSelecting = false;
}

void TiEditCustom::DblClickHook() {
    m_afterDblClick = true;
    SelectAll();
}

void TiEditCustom::showContextMenu(int x, int y) {
    UpdateContextMenu();
    m_contextMenu->popup(mapToGlobal(QPoint(x, y)));
}

void TiEditCustom::contextMenuEvent(QContextMenuEvent* event) {
    if (PopupMenu()) {
        TiCustomComponent::contextMenuEvent(event);
        return;
    }
    // The right button has already opened the field's own menu.
    event->accept();
}

// Focus

void TiEditCustom::FocusGained() {
    TiCustomComponent::FocusGained();
    if (!ErrorActive()) {
        m_caretCreated = true;
        restartCaretBlink();
    }
    RequestRepaint();
}

void TiEditCustom::FocusLost() {
    TiCustomComponent::FocusLost();
    m_mouseSelecting = false;
    m_afterDblClick = false;
    m_caretCreated = false;
    m_caretBlink.stop();
    RequestRepaint();
    if (m_acceptOnLostFocus) {
        // Leaving the field is no key press whose errors are swallowed: a
        // text that cannot be converted is reported.
        commitReportingErrors([this] { Commit(); });
    }
}

void TiEditCustom::commitReportingErrors(const std::function<void()>& commit) {
    try {
        commit();
    } catch (const std::exception& error) {
        ReportApplicationError(error.what());
    }
}

void TiEditCustom::restartCaretBlink() {
    m_caretShown = true;
    const int flashTime = QApplication::cursorFlashTime();
    if (m_caretCreated && flashTime > 0) {
        m_caretBlink.start(flashTime / 2);
    } else {
        m_caretBlink.stop();
    }
}

void TiEditCustom::caretBlinkTick() {
    m_caretShown = !m_caretShown;
    update();
}

// Painting

void TiEditCustom::PaintContent(QPainter& canvas) {
    const bool error = ErrorActive();
    DrawBackground(canvas, error ? ErrorBackGroundColor() : m_color);
    const TFont& font = error ? ErrorFont() : m_font;
    const QFont qtFont = font.toQFont();
    canvas.setFont(qtFont);

    QString shown;
    if (error) {
        shown = ErrorText();
    } else {
        const int available = Width() - 2 * BorderWidth() - m_alignmentMargin;
        m_model.fitVisible(available, [this](const QString& run) { return widthOf(run); });
        shown = m_model.visibleText();
    }
    layoutText(textWidth(qtFont, shown));
    canvas.setPen(toQColor(font.Color()));
    DrawTextInRect(canvas, shown, m_textRect, TextOption::SingleLine | TextOption::NoClip);

    if (error) {
        m_caretCreated = false;
        m_caretBlink.stop();
    } else if (Focused() && m_model.hasSelection()) {
        drawSelection(canvas);
    }
    DrawBorder(canvas);
    // The caret lies over everything, as the desktop's own caret did.
    if (!error && Focused() && m_caretCreated && m_caretShown) {
        drawCaret(canvas);
    }
}

void TiEditCustom::layoutText(int shownWidth) {
    const int border = BorderWidth();
    const int top = border + 1;
    int left = 0;
    switch (m_alignment) {
    case taLeftJustify:
        left = border + m_alignmentMargin + 1;
        break;
    case taRightJustify:
        left = Width() - border - m_alignmentMargin - 2 - shownWidth;
        break;
    case taCenter:
        left = Width() / 2 + shownWidth / 2 - shownWidth;
        break;
    }
    m_textRect = QRect(left, top, shownWidth, textHeight());
}

void TiEditCustom::drawSelection(QPainter& canvas) {
    const int first = std::max(m_model.selStart(), m_model.firstVisible());
    const int last = std::min(m_model.selStart() + m_model.selLength() - 1, m_model.lastVisible());
    if (first > last) {
        return;
    }
    const auto widthFn = [this](const QString& run) { return widthOf(run); };
    const QString selected = m_model.text().mid(first, last - first + 1);
    const QRect highlight(m_textRect.left() + m_model.widthBefore(first, widthFn), m_textRect.top(),
                          widthOf(selected), m_textRect.height());
    canvas.fillRect(highlight, toQColor(clHighlight));
    canvas.setPen(toQColor(clWhite));
    DrawTextInRect(canvas, selected, highlight, TextOption::SingleLine | TextOption::NoClip);
}

void TiEditCustom::drawCaret(QPainter& canvas) {
    const int x = m_textRect.left() +
                  m_model.widthBefore(m_model.caretPos(),
                                      [this](const QString& run) { return widthOf(run); });
    canvas.save();
    // Inverted like the desktop caret, so it shows on any background.
    canvas.setCompositionMode(QPainter::CompositionMode_Difference);
    // A font whose cell is taller than the field would run the caret into
    // the bottom edge; it stops above it.
    const int bottom = std::min(caretTop + textHeight(), Height() - BorderWidth());
    canvas.fillRect(QRect(x, caretTop, caretWidth, bottom - caretTop), Qt::white);
    canvas.restore();
}
