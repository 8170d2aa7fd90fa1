// A small JSON reader and writer for the DevTools protocol messages of the
// stand-in browser control: strict RFC 8259 input (with a nesting limit), a
// tree of values to read fields from, and an object writer for commands.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace json {

class Value {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    Value() = default;
    static Value MakeBool(bool b);
    static Value MakeNumber(double d);
    static Value MakeString(std::string s);
    static Value MakeArray(std::vector<Value> items);
    static Value MakeObject(std::vector<std::pair<std::string, Value>> members);

    Type type() const { return m_type; }
    bool IsNull() const { return m_type == Type::Null; }
    bool IsBool() const { return m_type == Type::Bool; }
    bool IsNumber() const { return m_type == Type::Number; }
    bool IsString() const { return m_type == Type::String; }
    bool IsArray() const { return m_type == Type::Array; }
    bool IsObject() const { return m_type == Type::Object; }

    // The value as that type, or the fallback when it is of another type.
    bool AsBool(bool fallback = false) const { return IsBool() ? m_bool : fallback; }
    double AsNumber(double fallback = 0) const { return IsNumber() ? m_number : fallback; }
    // Integral value of a number that has one (and fits), else the fallback.
    int64_t AsInt(int64_t fallback = 0) const;
    // The text of a string; empty for any other type.
    const std::string& AsString() const;

    // Member of an object (the first of that name) or element of an array; a
    // null value when absent or when this is not an object / array.
    const Value& operator[](std::string_view key) const;
    const Value& operator[](size_t index) const;
    bool Has(std::string_view key) const;
    size_t size() const;
    const std::vector<Value>& Items() const { return m_items; }
    const std::vector<std::pair<std::string, Value>>& Members() const { return m_members; }

    // This value written as compact JSON.
    std::string Write() const;

private:
    Type m_type = Type::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    std::vector<Value> m_items;
    std::vector<std::pair<std::string, Value>> m_members;
};

// Parses one JSON text (surrounding white space allowed). Nothing on malformed
// input, on nesting deeper than maxDepth, or on trailing characters.
std::optional<Value> Parse(std::string_view text, int maxDepth = 64);

// A JSON string literal (with quotes) for UTF-8 text. Control characters,
// quotes, backslashes, and the line separators U+2028/U+2029 are escaped, so
// the result is also safe inside a JavaScript expression; invalid UTF-8 bytes
// become U+FFFD.
std::string Quote(std::string_view utf8);
// A JSON number: integers exactly, other values with round-trip precision;
// NaN and infinities (not JSON) as null.
std::string Number(double d);

// Builds one JSON object member by member.
class ObjectWriter {
public:
    ObjectWriter& Add(std::string_view key, std::string_view text);
    ObjectWriter& Add(std::string_view key, const char* text) { return Add(key, std::string_view(text)); }
    ObjectWriter& Add(std::string_view key, double number);
    ObjectWriter& Add(std::string_view key, int number) { return Add(key, static_cast<double>(number)); }
    ObjectWriter& Add(std::string_view key, int64_t number) { return Add(key, static_cast<double>(number)); }
    ObjectWriter& Add(std::string_view key, bool flag);
    // A member whose value is already JSON text.
    ObjectWriter& AddRaw(std::string_view key, std::string_view jsonText);
    std::string Done() const { return m_text + "}"; }

private:
    void Key(std::string_view key);
    std::string m_text = "{";
    bool m_first = true;
};

}  // namespace json
