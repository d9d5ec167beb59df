#include "widgets/instrument/iIntegerOutput.h"

#include "platform/drawing/Beep.h"

TiIntegerOutput::TiIntegerOutput(QWidget* parent) : TiEditCustom(parent) {
    SetAlignment(taCenter);
    Font().SetBold(true);
    SetText(QStringLiteral("0"));
}

QString TiIntegerOutput::FormatValue(int value) const {
    return IntegerFormat::FormatValue(value, m_formatStyle, MaxLength(), m_leadingZeros);
}

int TiIntegerOutput::ParseText(const QString& text) {
    if (const auto value = IntegerFormat::ParseText(text, m_formatStyle)) {
        return *value;
    }
    if (!m_undoOnError) {
        throw EConvertError(
            QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    }
    Undo();
    if (m_beepOnError) {
        Beep::play();
    }
    return m_value;
}

int TiIntegerOutput::clamped(int value) const {
    if ((m_valueMin == 0 && m_valueMax == 0) || Loading()) {
        return value;
    }
    // The upper bound first, so that an inverted range gives ValueMin.
    if (value > m_valueMax) {
        value = m_valueMax;
    }
    if (value < m_valueMin) {
        value = m_valueMin;
    }
    return value;
}

void TiIntegerOutput::SetValue(int value) {
    int newValue = clamped(value);
    if (newValue != m_value) {
        bool canChange = true;
        if (UserInput() && OnBeforeUserChange) {
            OnBeforeUserChange(this, m_value, newValue, canChange);
        }
        if (OnBeforeChange) {
            OnBeforeChange(this, m_value, newValue, canChange);
        }
        if (canChange) {
            m_value = newValue;
            SetCommittedText(FormatValue(newValue));
            SetText(FormatValue(newValue));
            DoChange();
        }
    }
    // The canonical text comes back even when nothing changed, replacing
    // unfinished typing or a number that was clamped to the old value.
    SetText(FormatValue(m_value));
}

void TiIntegerOutput::SetValueMin(int value) {
    if (value == m_valueMin) {
        return;
    }
    m_valueMin = value;
    SetValue(m_value);
}

void TiIntegerOutput::SetValueMax(int value) {
    if (value == m_valueMax) {
        return;
    }
    m_valueMax = value;
    SetValue(m_value);
}

void TiIntegerOutput::reformat() {
    SetText(FormatValue(m_value));
    RequestRepaint();
}

void TiIntegerOutput::SetFormatStyle(TiIntegerFormatStyle value) {
    if (value == m_formatStyle) {
        return;
    }
    m_formatStyle = value;
    reformat();
}

void TiIntegerOutput::SetLeadingZeros(bool value) {
    if (value == m_leadingZeros) {
        return;
    }
    m_leadingZeros = value;
    reformat();
}

void TiIntegerOutput::SetMaxLength(int value) {
    if (value == MaxLength()) {
        return;
    }
    TiEditCustom::SetMaxLength(value);
    reformat();
}

void TiIntegerOutput::Commit() {
    if (Text() != CommittedText()) {
        SetValue(ParseText(Text()));
        SetCommittedText(FormatValue(m_value));
    }
    SelectAll();
}

bool TiIntegerOutput::IsValidChar(QChar character) const {
    return IntegerFormat::IsValidChar(character, m_formatStyle);
}

void TiIntegerOutput::DoChange() {
    TiEditCustom::DoChange();
    if (!Loading() && UserInput() && OnChangeUser) {
        OnChangeUser(this);
    }
}

void TiIntegerOutput::CharacterRejected() {
    if (m_beepOnError) {
        Beep::play();
    }
}
