#pragma once
// The status bar of the main window: a row of panels of fixed widths, each a
// sunken box with one line of text. The last panel runs to the right edge, so
// a long port name stays readable.

#include "platform/drawing/Fonts.h"

#include <QRegion>
#include <QString>
#include <QWidget>
#include <chrono>
#include <vector>

class StatusBar : public QWidget {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    /// Adds a panel at the right end.
    void addPanel(int width, const QString& text = QString());
    int panelCount() const { return static_cast<int>(m_panels.size()); }
    int panelWidth(int panel) const;
    /// The panel's text; an empty text for a panel that does not exist.
    QString panelText(int panel) const;
    /// A changed panel shows its new text at most this long after the change
    /// (while the window polls, with its next frame of polled values).
    static constexpr std::chrono::milliseconds LatestRepaint{100};

    /// Writes a panel's text; a panel that does not exist ignores it.
    void setPanelText(int panel, const QString& text);
    /// The rectangle of a panel in widget coordinates (the last one reaches the right edge).
    QRect panelRect(int panel) const;
    /// The panel under point, or -1.
    int panelAt(const QPoint& point) const;

    TFont& Font() { return m_font; }

signals:
    /// A panel was double-clicked with the left button.
    void panelDoubleClicked(int panel);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    struct Panel {
        int width = 0;
        QString text;
    };

    // Two pixels between neighbouring panels, as the desktop's bars have.
    static constexpr int PanelGap = 2;
    // Text starts this far inside a panel's edge.
    static constexpr int TextIndent = 2;

    std::vector<Panel> m_panels;
    // The panels whose text changed since the last frame.
    QRegion m_changed;
    TFont m_font;
};
