#pragma once

#include "poll/PollView.h"
#include "poll/RegisterMap.h"

#include <QString>
#include <array>
#include <cstdio>

// The window as the headless runner sees it: the traffic monitor is standard
// output, the rest is kept in memory for the closing summary.
class RunnerView : public PollView {
public:
    RunnerView(std::FILE* out, std::FILE* err);

    void SetAddress(int address) { m_address = address; }

    int AddressValue() const override { return m_address; }
    int CurrentColumn() const override { return m_column; }
    int CurrentRow() const override { return m_row; }
    void SetCellText(int column, int row, const QString& text) override;
    void AppendMonitorLine(const QString& line) override;
    void ClearMonitor() override {}
    QString PanelText(int panel) const override;
    void SetPanelText(int panel, const QString& text) override;
    void SetRelayActive(bool) override {}
    void SetReadoutPrecision(Readout, int) override {}
    void SetReadoutValue(Readout, double) override {}
    void ShowOpenFailure(const QString& message, const QString& detail) override;
    void ShowWriteFailure(const QString& reason) override;
    void ShowLineNote(const QString& note) override;

    // "Tx=<n> Er=<m>" and "registers=<v0>,...,<v19>".
    QString CountersLine() const;
    QString RegistersLine() const;

private:
    static constexpr int PanelCount = 5;

    std::FILE* m_out;
    std::FILE* m_err;
    int m_address = 1;
    int m_column = 0;
    int m_row = 0;
    std::array<std::array<QString, TableRowCount>, TableColumnCount> m_cells;
    std::array<QString, PanelCount> m_panels = {"Tx=", "0", "Er=", "0", ""};
};
