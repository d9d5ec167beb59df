#pragma once
// A self-drawn caption that can size itself to its text, align and wrap it,
// frame it, give it a drop shadow, and pass the focus to another control
// through the accelerator character of its caption ("&Address").

#include "widgets/instrument/iCustomComponent.h"

#include <QPointer>
#include <QShortcut>

enum TiLabelBorderStyle { ilbsNone, ilbsSingle, ilbsLowered, ilbsRaised };

class TiLabel : public TiCustomComponent {
    Q_OBJECT
public:
    explicit TiLabel(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString& value);
    /// Text font and colour; a change of any attribute re-sizes and repaints.
    TFont& Font() { return m_font; }
    const TFont& Font() const { return m_font; }
    bool AutoSize() const { return m_autoSize; }
    void SetAutoSize(bool value);
    TiAlignmentHorizontal Alignment() const { return m_alignment; }
    void SetAlignment(TiAlignmentHorizontal value);
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool value);
    /// The label's frame; it replaces the base's bevel, which stays ibsNone.
    TiLabelBorderStyle BorderStyle() const { return m_labelBorderStyle; }
    void SetBorderStyle(TiLabelBorderStyle value);
    int OuterMarginLeft() const { return m_outerMargins.left(); }
    void SetOuterMarginLeft(int value);
    int OuterMarginTop() const { return m_outerMargins.top(); }
    void SetOuterMarginTop(int value);
    int OuterMarginRight() const { return m_outerMargins.right(); }
    void SetOuterMarginRight(int value);
    int OuterMarginBottom() const { return m_outerMargins.bottom(); }
    void SetOuterMarginBottom(int value);
    bool ShadowShow() const { return m_shadowShow; }
    void SetShadowShow(bool value);
    int ShadowXOffset() const { return m_shadowXOffset; }
    void SetShadowXOffset(int value);
    int ShadowYOffset() const { return m_shadowYOffset; }
    void SetShadowYOffset(int value);
    TColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(TColor value);
    /// The control that receives the focus through the caption's accelerator;
    /// the link clears itself when that control is destroyed.
    QWidget* FocusControl() const { return m_focusControl; }
    void SetFocusControl(QWidget* control);

    /// The frame width: 0 for none, 1 for single, 2 for the 3-D edges.
    int FrameWidth() const;

protected:
    void PaintContent(QPainter& canvas) override;
    void Loaded() override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The base bevel does not apply to a label.
    void SetBorderStyle(TiBevelStyle) override {}
    void applyAutoSize();
    unsigned textOptions() const;
    void changedWithSize();
    void updateAccelerator();
    bool acceleratorActivated();
    void watchWindow();
    void drawFrame(QPainter& canvas);

    QString m_caption = QStringLiteral("iLabel");
    TFont m_font;
    bool m_autoSize = true;
    TiAlignmentHorizontal m_alignment = iahLeft;
    bool m_wordWrap = false;
    TiLabelBorderStyle m_labelBorderStyle = ilbsNone;
    QMargins m_outerMargins;
    bool m_shadowShow = false;
    int m_shadowXOffset = 1;
    int m_shadowYOffset = 1;
    TColor m_shadowColor = clGray;
    QPointer<QWidget> m_focusControl;
    QShortcut* m_accelerator = nullptr;
    QPointer<QWidget> m_watchedWindow; // sees the keys the focused control leaves alone
    bool m_sizing = false;
};
