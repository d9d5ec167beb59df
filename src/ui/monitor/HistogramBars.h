#pragma once
// The response-time histogram drawn as bars, one a bin from left to right,
// each as tall as its count against the fullest bin, with the decades marked
// underneath.

#include "record/ResponseTimes.h"

#include <QWidget>
#include <vector>

class HistogramBars : public QWidget {
    Q_OBJECT
public:
    explicit HistogramBars(QWidget* parent = nullptr);

    void SetBins(const std::vector<ResponseTimes::Bin>& bins);
    const std::vector<ResponseTimes::Bin>& Bins() const { return m_bins; }

    /// Where the bars stand: the area above the decade marks.
    QRect PlotRect() const;
    /// The column of bin index within the plot.
    QRect BarSlot(int index) const;

    QSize sizeHint() const override { return {360, 180}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<ResponseTimes::Bin> m_bins;
};

/// A time as people read it: "850 µs", "52.2 ms", "1.25 s".
QString ReadableDuration(std::chrono::microseconds time);
