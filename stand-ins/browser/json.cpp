#include "json.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace json {

namespace {

const Value& NullValue() {
    static const Value null;
    return null;
}

const std::string& EmptyString() {
    static const std::string empty;
    return empty;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Parser {
public:
    Parser(std::string_view text, int maxDepth) : m_s(text), m_maxDepth(maxDepth) {}

    std::optional<Value> Run() {
        Value v;
        SkipSpace();
        if (!ParseValue(v, 0)) return std::nullopt;
        SkipSpace();
        if (m_pos != m_s.size()) return std::nullopt;
        return v;
    }

private:
    void SkipSpace() {
        while (m_pos < m_s.size() &&
               (m_s[m_pos] == ' ' || m_s[m_pos] == '\t' || m_s[m_pos] == '\n' || m_s[m_pos] == '\r'))
            ++m_pos;
    }

    bool Literal(const char* word) {
        size_t n = std::strlen(word);
        if (m_s.substr(m_pos, n) != word) return false;
        m_pos += n;
        return true;
    }

    bool ParseValue(Value& out, int depth) {
        if (m_pos >= m_s.size()) return false;
        switch (m_s[m_pos]) {
            case '{': return ParseObject(out, depth + 1);
            case '[': return ParseArray(out, depth + 1);
            case '"': {
                std::string s;
                if (!ParseString(s)) return false;
                out = Value::MakeString(std::move(s));
                return true;
            }
            case 't':
                if (!Literal("true")) return false;
                out = Value::MakeBool(true);
                return true;
            case 'f':
                if (!Literal("false")) return false;
                out = Value::MakeBool(false);
                return true;
            case 'n':
                if (!Literal("null")) return false;
                out = Value();
                return true;
            default: return ParseNumber(out);
        }
    }

    bool ParseObject(Value& out, int depth) {
        if (depth > m_maxDepth) return false;
        ++m_pos;  // '{'
        std::vector<std::pair<std::string, Value>> members;
        SkipSpace();
        if (m_pos < m_s.size() && m_s[m_pos] == '}') {
            ++m_pos;
            out = Value::MakeObject(std::move(members));
            return true;
        }
        for (;;) {
            SkipSpace();
            if (m_pos >= m_s.size() || m_s[m_pos] != '"') return false;
            std::string key;
            if (!ParseString(key)) return false;
            SkipSpace();
            if (m_pos >= m_s.size() || m_s[m_pos] != ':') return false;
            ++m_pos;
            SkipSpace();
            Value v;
            if (!ParseValue(v, depth)) return false;
            members.emplace_back(std::move(key), std::move(v));
            SkipSpace();
            if (m_pos >= m_s.size()) return false;
            if (m_s[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_s[m_pos] != '}') return false;
            ++m_pos;
            out = Value::MakeObject(std::move(members));
            return true;
        }
    }

    bool ParseArray(Value& out, int depth) {
        if (depth > m_maxDepth) return false;
        ++m_pos;  // '['
        std::vector<Value> items;
        SkipSpace();
        if (m_pos < m_s.size() && m_s[m_pos] == ']') {
            ++m_pos;
            out = Value::MakeArray(std::move(items));
            return true;
        }
        for (;;) {
            SkipSpace();
            Value v;
            if (!ParseValue(v, depth)) return false;
            items.push_back(std::move(v));
            SkipSpace();
            if (m_pos >= m_s.size()) return false;
            if (m_s[m_pos] == ',') {
                ++m_pos;
                continue;
            }
            if (m_s[m_pos] != ']') return false;
            ++m_pos;
            out = Value::MakeArray(std::move(items));
            return true;
        }
    }

    bool Hex4(uint32_t& out) {
        if (m_pos + 4 > m_s.size()) return false;
        out = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_s[m_pos++];
            out <<= 4;
            if (c >= '0' && c <= '9') out |= uint32_t(c - '0');
            else if (c >= 'a' && c <= 'f') out |= uint32_t(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') out |= uint32_t(c - 'A' + 10);
            else return false;
        }
        return true;
    }

    bool ParseString(std::string& out) {
        ++m_pos;  // opening quote
        for (;;) {
            if (m_pos >= m_s.size()) return false;
            unsigned char c = static_cast<unsigned char>(m_s[m_pos++]);
            if (c == '"') return true;
            if (c < 0x20) return false;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (m_pos >= m_s.size()) return false;
            char e = m_s[m_pos++];
            switch (e) {
                case '"': out += '"'; break;
                case '\\': out += '\\'; break;
                case '/': out += '/'; break;
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    uint32_t cp;
                    if (!Hex4(cp)) return false;
                    if (cp >= 0xD800 && cp < 0xDC00) {
                        // A high surrogate: a low one should follow.
                        size_t save = m_pos;
                        uint32_t low;
                        if (m_pos + 1 < m_s.size() && m_s[m_pos] == '\\' && m_s[m_pos + 1] == 'u') {
                            m_pos += 2;
                            if (!Hex4(low)) return false;
                            if (low >= 0xDC00 && low < 0xE000) {
                                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                            } else {
                                m_pos = save;
                                cp = 0xFFFD;
                            }
                        } else {
                            cp = 0xFFFD;
                        }
                    } else if (cp >= 0xDC00 && cp < 0xE000) {
                        cp = 0xFFFD;  // a lone low surrogate (JavaScript strings may hold one)
                    }
                    AppendUtf8(out, cp);
                    break;
                }
                default: return false;
            }
        }
    }

    bool ParseNumber(Value& out) {
        size_t start = m_pos;
        if (m_pos < m_s.size() && m_s[m_pos] == '-') ++m_pos;
        if (m_pos >= m_s.size()) return false;
        if (m_s[m_pos] == '0') {
            ++m_pos;
        } else if (m_s[m_pos] >= '1' && m_s[m_pos] <= '9') {
            while (m_pos < m_s.size() && m_s[m_pos] >= '0' && m_s[m_pos] <= '9') ++m_pos;
        } else {
            return false;
        }
        if (m_pos < m_s.size() && m_s[m_pos] == '.') {
            ++m_pos;
            size_t digits = m_pos;
            while (m_pos < m_s.size() && m_s[m_pos] >= '0' && m_s[m_pos] <= '9') ++m_pos;
            if (m_pos == digits) return false;
        }
        if (m_pos < m_s.size() && (m_s[m_pos] == 'e' || m_s[m_pos] == 'E')) {
            ++m_pos;
            if (m_pos < m_s.size() && (m_s[m_pos] == '+' || m_s[m_pos] == '-')) ++m_pos;
            size_t digits = m_pos;
            while (m_pos < m_s.size() && m_s[m_pos] >= '0' && m_s[m_pos] <= '9') ++m_pos;
            if (m_pos == digits) return false;
        }
        double d = 0;
        auto r = std::from_chars(m_s.data() + start, m_s.data() + m_pos, d);
        if (r.ec == std::errc::result_out_of_range) {
            // Beyond double's range: the nearest representable value.
            d = m_s[start] == '-' ? -HUGE_VAL : HUGE_VAL;
            bool tiny = false;
            for (size_t i = start; i < m_pos; ++i) {
                if (m_s[i] == 'e' || m_s[i] == 'E') {
                    tiny = i + 1 < m_pos && m_s[i + 1] == '-';
                    break;
                }
            }
            if (tiny) d = 0;
        } else if (r.ec != std::errc() || r.ptr != m_s.data() + m_pos) {
            return false;
        }
        out = Value::MakeNumber(d);
        return true;
    }

    std::string_view m_s;
    size_t m_pos = 0;
    int m_maxDepth;
};

// Length of a valid UTF-8 sequence starting at s[i], or 0.
size_t Utf8Length(std::string_view s, size_t i, uint32_t& cp) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n;
    uint32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        n = 2, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, cp = c & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        unsigned char d = static_cast<unsigned char>(s[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) return 0;
    return n;
}

}  // namespace

Value Value::MakeBool(bool b) {
    Value v;
    v.m_type = Type::Bool;
    v.m_bool = b;
    return v;
}

Value Value::MakeNumber(double d) {
    Value v;
    v.m_type = Type::Number;
    v.m_number = d;
    return v;
}

Value Value::MakeString(std::string s) {
    Value v;
    v.m_type = Type::String;
    v.m_string = std::move(s);
    return v;
}

Value Value::MakeArray(std::vector<Value> items) {
    Value v;
    v.m_type = Type::Array;
    v.m_items = std::move(items);
    return v;
}

Value Value::MakeObject(std::vector<std::pair<std::string, Value>> members) {
    Value v;
    v.m_type = Type::Object;
    v.m_members = std::move(members);
    return v;
}

int64_t Value::AsInt(int64_t fallback) const {
    if (!IsNumber() || !std::isfinite(m_number) || std::floor(m_number) != m_number) return fallback;
    if (m_number < -9.2e18 || m_number > 9.2e18) return fallback;
    return static_cast<int64_t>(m_number);
}

const std::string& Value::AsString() const { return IsString() ? m_string : EmptyString(); }

const Value& Value::operator[](std::string_view key) const {
    if (IsObject()) {
        for (const auto& m : m_members)
            if (m.first == key) return m.second;
    }
    return NullValue();
}

const Value& Value::operator[](size_t index) const {
    if (IsArray() && index < m_items.size()) return m_items[index];
    return NullValue();
}

bool Value::Has(std::string_view key) const {
    if (!IsObject()) return false;
    for (const auto& m : m_members)
        if (m.first == key) return true;
    return false;
}

size_t Value::size() const { return IsArray() ? m_items.size() : IsObject() ? m_members.size() : 0; }

std::string Value::Write() const {
    switch (m_type) {
        case Type::Null: return "null";
        case Type::Bool: return m_bool ? "true" : "false";
        case Type::Number: return Number(m_number);
        case Type::String: return Quote(m_string);
        case Type::Array: {
            std::string s = "[";
            for (size_t i = 0; i < m_items.size(); ++i) {
                if (i) s += ',';
                s += m_items[i].Write();
            }
            return s + "]";
        }
        case Type::Object: {
            std::string s = "{";
            for (size_t i = 0; i < m_members.size(); ++i) {
                if (i) s += ',';
                s += Quote(m_members[i].first);
                s += ':';
                s += m_members[i].second.Write();
            }
            return s + "}";
        }
    }
    return "null";
}

std::optional<Value> Parse(std::string_view text, int maxDepth) { return Parser(text, maxDepth).Run(); }

std::string Quote(std::string_view s) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size() + 2);
    out += '"';
    for (size_t i = 0; i < s.size();) {
        uint32_t cp = 0;
        size_t n = Utf8Length(s, i, cp);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        i += n;
        switch (cp) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case 0x2028: out += "\\u2028"; break;
            case 0x2029: out += "\\u2029"; break;
            default:
                if (cp < 0x20) {
                    out += "\\u00";
                    out += hex[cp >> 4];
                    out += hex[cp & 15];
                } else {
                    out.append(s.data() + i - n, n);
                }
        }
    }
    out += '"';
    return out;
}

std::string Number(double d) {
    if (!std::isfinite(d)) return "null";
    char buf[64];
    if (std::floor(d) == d && std::fabs(d) < 1e15) {
        auto r = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(d));
        return std::string(buf, r.ptr);
    }
    auto r = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, r.ptr);
}

void ObjectWriter::Key(std::string_view key) {
    if (!m_first) m_text += ',';
    m_first = false;
    m_text += Quote(key);
    m_text += ':';
}

ObjectWriter& ObjectWriter::Add(std::string_view key, std::string_view text) {
    Key(key);
    m_text += Quote(text);
    return *this;
}

ObjectWriter& ObjectWriter::Add(std::string_view key, double number) {
    Key(key);
    m_text += Number(number);
    return *this;
}

ObjectWriter& ObjectWriter::Add(std::string_view key, bool flag) {
    Key(key);
    m_text += flag ? "true" : "false";
    return *this;
}

ObjectWriter& ObjectWriter::AddRaw(std::string_view key, std::string_view jsonText) {
    Key(key);
    m_text += jsonText;
    return *this;
}

}  // namespace json
