#pragma once
// A small JSON reader that keeps the line each value starts on, so that a
// test plan with a mistake can be refused with the line and the field to
// mend, and a writer that keeps the order of an object's members, so that a
// plan or a report reads in the order a person expects. Bounded: a text over
// JsonMaximumSize bytes or nested deeper than JsonMaximumDepth is refused
// rather than read.

#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type = Type::Null;
    /// The line (from 1) where the value begins.
    int line = 1;
    bool boolean = false;
    double number = 0.0;
    QString string;
    std::vector<JsonValue> items;                       ///< an array's values
    std::vector<std::pair<QString, JsonValue>> members; ///< an object's, in order

    /// The member with that key (the last one, if a key is repeated), or none.
    const JsonValue* member(const QString& key) const;

    // Building values to write.
    static JsonValue Number(double value);
    static JsonValue Text(const QString& value);
    static JsonValue Flag(bool value);
    static JsonValue Null();
    static JsonValue Object() { return Of(Type::Object); }
    static JsonValue Array() { return Of(Type::Array); }
    /// Adds a member to an object (in order) and returns the object.
    JsonValue& add(const QString& key, JsonValue value);
    /// Adds a value to an array and returns the array.
    JsonValue& append(JsonValue value);

private:
    static JsonValue Of(Type type) {
        JsonValue value;
        value.type = type;
        return value;
    }
};

struct JsonParse {
    std::optional<JsonValue> value;
    /// Why the text is no JSON, and the line where that was found.
    QString error;
    int errorLine = 0;
};

inline constexpr int JsonMaximumSize = 1 << 20;
inline constexpr int JsonMaximumDepth = 64;

JsonParse ParseJson(const QByteArray& text);

/// The value as JSON text, indented by four spaces a level, members in their order.
QByteArray WriteJson(const JsonValue& value);

/// "an object", "a list", "a text", ... for messages.
QString JsonTypeName(JsonValue::Type type);
