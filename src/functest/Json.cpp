#include "functest/Json.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

class Reader {
public:
    explicit Reader(const QByteArray& text) : m_text(text) {}

    JsonParse read() {
        JsonParse result;
        skipSpace();
        std::optional<JsonValue> value = readValue(0);
        if (value) {
            skipSpace();
            if (m_at < m_text.size()) {
                fail(QStringLiteral("unexpected text after the end"));
            }
        }
        if (!m_error.isEmpty()) {
            result.error = m_error;
            result.errorLine = m_errorLine;
            return result;
        }
        result.value = std::move(value);
        return result;
    }

private:
    char peek() const { return m_at < m_text.size() ? m_text[m_at] : '\0'; }
    bool atEnd() const { return m_at >= m_text.size(); }

    void advance() {
        if (m_text[m_at] == '\n') {
            ++m_line;
        }
        ++m_at;
    }

    void skipSpace() {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r')) {
            advance();
        }
    }

    std::nullopt_t fail(const QString& message) {
        if (m_error.isEmpty()) {
            m_error = message;
            m_errorLine = m_line;
        }
        return std::nullopt;
    }

    std::optional<JsonValue> readValue(int depth) {
        if (depth > JsonMaximumDepth) {
            return fail(QStringLiteral("nested too deeply"));
        }
        JsonValue value;
        value.line = m_line;
        switch (peek()) {
        case '{':
            return readObject(std::move(value), depth);
        case '[':
            return readArray(std::move(value), depth);
        case '"':
            value.type = JsonValue::Type::String;
            if (!readString(value.string)) {
                return std::nullopt;
            }
            return value;
        case 't':
            return readWord("true", JsonValue::Type::Bool, true, std::move(value));
        case 'f':
            return readWord("false", JsonValue::Type::Bool, false, std::move(value));
        case 'n':
            return readWord("null", JsonValue::Type::Null, false, std::move(value));
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9')) {
                return readNumber(std::move(value));
            }
            return fail(atEnd() ? QStringLiteral("the text ends where a value should be")
                                : QStringLiteral("a value was expected"));
        }
    }

    std::optional<JsonValue> readWord(const char* word, JsonValue::Type type, bool boolean,
                                      JsonValue value) {
        const int length = static_cast<int>(std::char_traits<char>::length(word));
        if (m_text.mid(m_at, length) != word) {
            return fail(QStringLiteral("a value was expected"));
        }
        m_at += length;
        value.type = type;
        value.boolean = boolean;
        return value;
    }

    std::optional<JsonValue> readNumber(JsonValue value) {
        const int start = m_at;
        if (peek() == '-') {
            advance();
        }
        auto digits = [this] {
            int count = 0;
            while (peek() >= '0' && peek() <= '9') {
                advance();
                ++count;
            }
            return count;
        };
        if (digits() == 0) {
            return fail(QStringLiteral("a number needs digits"));
        }
        if (peek() == '.') {
            advance();
            if (digits() == 0) {
                return fail(QStringLiteral("a number needs digits after its point"));
            }
        }
        if (peek() == 'e' || peek() == 'E') {
            advance();
            if (peek() == '+' || peek() == '-') {
                advance();
            }
            if (digits() == 0) {
                return fail(QStringLiteral("a number needs digits in its exponent"));
            }
        }
        const std::string text = m_text.mid(start, m_at - start).toStdString();
        value.number = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(value.number)) {
            return fail(QStringLiteral("a number out of range"));
        }
        value.type = JsonValue::Type::Number;
        return value;
    }

    bool readHex4(char32_t& code) {
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = peek();
            int digit = 0;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                fail(QStringLiteral("\\u needs four hexadecimal digits"));
                return false;
            }
            code = code * 16 + static_cast<char32_t>(digit);
            advance();
        }
        return true;
    }

    bool readEscape(QByteArray& bytes) {
        advance(); // the backslash
        const char c = peek();
        if (atEnd()) {
            fail(QStringLiteral("the text ends inside a string"));
            return false;
        }
        advance();
        switch (c) {
        case '"':
        case '\\':
        case '/':
            bytes.append(c);
            return true;
        case 'b':
            bytes.append('\b');
            return true;
        case 'f':
            bytes.append('\f');
            return true;
        case 'n':
            bytes.append('\n');
            return true;
        case 'r':
            bytes.append('\r');
            return true;
        case 't':
            bytes.append('\t');
            return true;
        case 'u': {
            char32_t code = 0;
            if (!readHex4(code)) {
                return false;
            }
            // A surrogate pair makes one character; a lone half is refused.
            if (code >= 0xD800 && code <= 0xDBFF) {
                char32_t low = 0;
                if (peek() != '\\' || m_text.mid(m_at + 1, 1) != "u") {
                    fail(QStringLiteral("a lone surrogate in \\u"));
                    return false;
                }
                m_at += 2;
                if (!readHex4(low)) {
                    return false;
                }
                if (low < 0xDC00 || low > 0xDFFF) {
                    fail(QStringLiteral("a lone surrogate in \\u"));
                    return false;
                }
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                fail(QStringLiteral("a lone surrogate in \\u"));
                return false;
            }
            bytes.append(QString::fromUcs4(&code, 1).toUtf8());
            return true;
        }
        default:
            fail(QStringLiteral("an unknown escape in a string"));
            return false;
        }
    }

    bool readString(QString& text) {
        advance(); // the opening quote
        QByteArray bytes;
        while (true) {
            if (atEnd()) {
                fail(QStringLiteral("the text ends inside a string"));
                return false;
            }
            const char c = peek();
            if (c == '"') {
                advance();
                break;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                fail(QStringLiteral("a control character inside a string"));
                return false;
            }
            if (c == '\\') {
                if (!readEscape(bytes)) {
                    return false;
                }
                continue;
            }
            bytes.append(c);
            advance();
        }
        text = QString::fromUtf8(bytes);
        return true;
    }

    std::optional<JsonValue> readArray(JsonValue value, int depth) {
        value.type = JsonValue::Type::Array;
        advance(); // [
        skipSpace();
        if (peek() == ']') {
            advance();
            return value;
        }
        while (true) {
            skipSpace();
            std::optional<JsonValue> item = readValue(depth + 1);
            if (!item) {
                return std::nullopt;
            }
            value.items.push_back(std::move(*item));
            skipSpace();
            if (peek() == ',') {
                advance();
                continue;
            }
            if (peek() == ']') {
                advance();
                return value;
            }
            return fail(QStringLiteral("a comma or ] was expected"));
        }
    }

    std::optional<JsonValue> readObject(JsonValue value, int depth) {
        value.type = JsonValue::Type::Object;
        advance(); // {
        skipSpace();
        if (peek() == '}') {
            advance();
            return value;
        }
        while (true) {
            skipSpace();
            if (peek() != '"') {
                return fail(QStringLiteral("a quoted name was expected"));
            }
            QString key;
            if (!readString(key)) {
                return std::nullopt;
            }
            skipSpace();
            if (peek() != ':') {
                return fail(QStringLiteral("a colon was expected after \"%1\"").arg(key));
            }
            advance();
            skipSpace();
            std::optional<JsonValue> member = readValue(depth + 1);
            if (!member) {
                return std::nullopt;
            }
            value.members.emplace_back(std::move(key), std::move(*member));
            skipSpace();
            if (peek() == ',') {
                advance();
                continue;
            }
            if (peek() == '}') {
                advance();
                return value;
            }
            return fail(QStringLiteral("a comma or } was expected"));
        }
    }

    const QByteArray& m_text;
    int m_at = 0;
    int m_line = 1;
    QString m_error;
    int m_errorLine = 0;
};

} // namespace

const JsonValue* JsonValue::member(const QString& key) const {
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
        if (it->first == key) {
            return &it->second;
        }
    }
    return nullptr;
}

JsonParse ParseJson(const QByteArray& text) {
    if (text.size() > JsonMaximumSize) {
        JsonParse result;
        result.error = QStringLiteral("larger than %1 bytes").arg(JsonMaximumSize);
        result.errorLine = 1;
        return result;
    }
    return Reader(text).read();
}

QString JsonTypeName(JsonValue::Type type) {
    switch (type) {
    case JsonValue::Type::Null:
        return QStringLiteral("null");
    case JsonValue::Type::Bool:
        return QStringLiteral("true or false");
    case JsonValue::Type::Number:
        return QStringLiteral("a number");
    case JsonValue::Type::String:
        return QStringLiteral("a text");
    case JsonValue::Type::Array:
        return QStringLiteral("a list");
    case JsonValue::Type::Object:
        return QStringLiteral("an object");
    }
    return {};
}

JsonValue JsonValue::Number(double value) {
    JsonValue result = Of(Type::Number);
    result.number = value;
    return result;
}

JsonValue JsonValue::Text(const QString& value) {
    JsonValue result = Of(Type::String);
    result.string = value;
    return result;
}

JsonValue JsonValue::Flag(bool value) {
    JsonValue result = Of(Type::Bool);
    result.boolean = value;
    return result;
}

JsonValue JsonValue::Null() {
    return Of(Type::Null);
}

JsonValue& JsonValue::add(const QString& key, JsonValue value) {
    members.emplace_back(key, std::move(value));
    return *this;
}

JsonValue& JsonValue::append(JsonValue value) {
    items.push_back(std::move(value));
    return *this;
}

namespace {

void writeString(const QString& text, QByteArray& out) {
    out.append('"');
    for (const char c : text.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out.append('\\').append(c);
        } else if (byte < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out.append("\\u00").append(hex[byte >> 4]).append(hex[byte & 0xF]);
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

void writeNumber(double number, QByteArray& out) {
    // The shortest text that reads back as the same number; whole numbers
    // without a point.
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    out.append(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

void writeValue(const JsonValue& value, int depth, QByteArray& out) {
    const QByteArray indent(4 * (depth + 1), ' ');
    const QByteArray closing(4 * depth, ' ');
    switch (value.type) {
    case JsonValue::Type::Null:
        out.append("null");
        return;
    case JsonValue::Type::Bool:
        out.append(value.boolean ? "true" : "false");
        return;
    case JsonValue::Type::Number:
        writeNumber(value.number, out);
        return;
    case JsonValue::Type::String:
        writeString(value.string, out);
        return;
    case JsonValue::Type::Array:
        if (value.items.empty()) {
            out.append("[]");
            return;
        }
        out.append("[\n");
        for (std::size_t i = 0; i < value.items.size(); ++i) {
            out.append(indent);
            writeValue(value.items[i], depth + 1, out);
            out.append(i + 1 < value.items.size() ? ",\n" : "\n");
        }
        out.append(closing).append(']');
        return;
    case JsonValue::Type::Object:
        if (value.members.empty()) {
            out.append("{}");
            return;
        }
        out.append("{\n");
        for (std::size_t i = 0; i < value.members.size(); ++i) {
            out.append(indent);
            writeString(value.members[i].first, out);
            out.append(": ");
            writeValue(value.members[i].second, depth + 1, out);
            out.append(i + 1 < value.members.size() ? ",\n" : "\n");
        }
        out.append(closing).append('}');
        return;
    }
}

} // namespace

QByteArray WriteJson(const JsonValue& value) {
    QByteArray out;
    writeValue(value, 0, out);
    out.append('\n');
    return out;
}
