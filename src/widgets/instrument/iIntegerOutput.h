#pragma once
// The integer entry field: an edit bound to an integer Value within a range,
// shown in decimal, hexadecimal, binary or octal. Typed text is converted,
// clamped and shown again in its canonical form on every commit.

#include "widgets/instrument/IntegerFormat.h"
#include "widgets/instrument/iEditCustom.h"

#include <cstdint>
#include <stdexcept>

/// Raised by a commit whose text is not a number, when UndoOnError is off.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TOnBeforeChangeInteger =
    std::function<void(QObject* sender, int oldValue, int& newValue, bool& canChange)>;

class TiIntegerOutput : public TiEditCustom {
    Q_OBJECT
public:
    explicit TiIntegerOutput(QWidget* parent = nullptr);

    int Value() const { return m_value; }
    /// Clamps to the range (unless loading), asks the before-change handlers,
    /// stores, fires the change events and always shows the canonical text.
    void SetValue(int value);
    int ValueMin() const { return m_valueMin; }
    void SetValueMin(int value);
    int ValueMax() const { return m_valueMax; }
    void SetValueMax(int value);
    TiIntegerFormatStyle FormatStyle() const { return m_formatStyle; }
    void SetFormatStyle(TiIntegerFormatStyle value);
    bool LeadingZeros() const { return m_leadingZeros; }
    void SetLeadingZeros(bool value);
    void SetMaxLength(int value) override;
    bool UndoOnError() const { return m_undoOnError; }
    void SetUndoOnError(bool value) { m_undoOnError = value; }
    bool BeepOnError() const { return m_beepOnError; }
    void SetBeepOnError(bool value) { m_beepOnError = value; }

    /// Value changed while the operator was acting (UserInput).
    TNotifyEvent OnChangeUser;
    /// May alter the new value or veto the change.
    TOnBeforeChangeInteger OnBeforeChange;
    /// As OnBeforeChange, asked first and only for the operator's changes.
    TOnBeforeChangeInteger OnBeforeUserChange;

    /// The canonical text of a value in the current notation.
    QString FormatValue(int value) const;
    /// Reads a text in the current notation. A text that is no number undoes
    /// the typing and gives the current Value when UndoOnError is on (with a
    /// beep if BeepOnError); otherwise raises EConvertError.
    int ParseText(const QString& text);

    void Commit() override;
    bool IsValidChar(QChar character) const override;

protected:
    /// OnChange, then OnChangeUser when the operator made the change; neither
    /// while loading.
    void DoChange() override;
    void CharacterRejected() override;

private:
    int clamped(int value) const;
    void reformat();

    int m_value = 0;
    int m_valueMin = 0;
    int m_valueMax = 0;
    TiIntegerFormatStyle m_formatStyle = iifsInteger;
    bool m_leadingZeros = false;
    bool m_undoOnError = true;
    bool m_beepOnError = false;
};
