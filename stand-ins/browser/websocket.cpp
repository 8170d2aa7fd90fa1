#include "websocket.h"

#include <cctype>
#include <cstring>

namespace ws {

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Digit(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

uint32_t Rotl(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// True when a comma-separated header value lists the token (case-insensitive).
bool ListsToken(std::string_view value, std::string_view token) {
    std::string v = Lower(value), t = Lower(token);
    size_t start = 0;
    while (start <= v.size()) {
        size_t comma = v.find(',', start);
        if (comma == std::string::npos) comma = v.size();
        if (Trim(std::string_view(v).substr(start, comma - start)) == t) return true;
        start = comma + 1;
    }
    return false;
}

}  // namespace

std::string Base64Encode(std::string_view in) {
    std::string out;
    out.reserve((in.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= in.size(); i += 3) {
        uint32_t v = (uint32_t(uint8_t(in[i])) << 16) | (uint32_t(uint8_t(in[i + 1])) << 8) | uint8_t(in[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i + 1 == in.size()) {
        uint32_t v = uint32_t(uint8_t(in[i])) << 16;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == in.size()) {
        uint32_t v = (uint32_t(uint8_t(in[i])) << 16) | (uint32_t(uint8_t(in[i + 1])) << 8);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

bool Base64Decode(std::string_view in, std::string& out) {
    out.clear();
    size_t pad = 0;
    while (!in.empty() && in.back() == '=') in.remove_suffix(1), ++pad;
    if (pad > 2 || (pad && (in.size() + pad) % 4 != 0) || in.size() % 4 == 1) return false;
    out.reserve(in.size() / 4 * 3 + 2);
    uint32_t acc = 0;
    int bits = 0;
    for (unsigned char c : in) {
        int d = Base64Digit(c);
        if (d < 0) return false;
        acc = (acc << 6) | uint32_t(d);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    // Left-over bits of the last digit must be zero in canonical Base64.
    return (acc & ((1u << bits) - 1)) == 0;
}

std::string Sha1(std::string_view data) {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string msg(data);
    uint64_t bitLength = uint64_t(data.size()) * 8;
    msg += '\x80';
    while (msg.size() % 64 != 56) msg += '\0';
    for (int i = 7; i >= 0; --i) msg += static_cast<char>((bitLength >> (i * 8)) & 0xFF);
    for (size_t block = 0; block < msg.size(); block += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(msg.data() + block + i * 4);
            w[i] = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
        }
        for (int i = 16; i < 80; ++i) w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20) f = (b & c) | (~b & d), k = 0x5A827999;
            else if (i < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
            else if (i < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            else f = b ^ c ^ d, k = 0xCA62C1D6;
            uint32_t t = Rotl(a, 5) + f + e + k + w[i];
            e = d, d = c, c = Rotl(b, 30), b = a, a = t;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    std::string out;
    for (uint32_t v : h)
        for (int i = 3; i >= 0; --i) out += static_cast<char>((v >> (i * 8)) & 0xFF);
    return out;
}

std::string HttpResponse::Header(std::string_view name) const {
    std::string n = Lower(name);
    for (const auto& h : headers)
        if (h.first == n) return h.second;
    return {};
}

HeadResult ParseHttpHead(std::string_view buf, HttpResponse& out, size_t& headLength, size_t maxHead) {
    size_t end = buf.find("\r\n\r\n");
    if (end == std::string_view::npos) return buf.size() > maxHead ? HeadResult::Malformed : HeadResult::Incomplete;
    if (end + 4 > maxHead) return HeadResult::Malformed;
    std::string_view head = buf.substr(0, end);
    out = HttpResponse{};
    size_t lineEnd = head.find("\r\n");
    std::string_view status = head.substr(0, lineEnd);
    // "HTTP/1.x NNN reason"
    if (status.substr(0, 7) != "HTTP/1." || status.size() < 12 || status[8] != ' ') return HeadResult::Malformed;
    for (int i = 9; i < 12; ++i)
        if (!std::isdigit(static_cast<unsigned char>(status[i]))) return HeadResult::Malformed;
    if (status.size() > 12 && status[12] != ' ') return HeadResult::Malformed;
    out.status = (status[9] - '0') * 100 + (status[10] - '0') * 10 + (status[11] - '0');
    size_t pos = lineEnd == std::string_view::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        size_t next = head.find("\r\n", pos);
        if (next == std::string_view::npos) next = head.size();
        std::string_view line = head.substr(pos, next - pos);
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return HeadResult::Malformed;
        std::string_view name = line.substr(0, colon);
        for (char c : name)
            if (c == ' ' || c == '\t') return HeadResult::Malformed;
        out.headers.emplace_back(Lower(name), std::string(Trim(line.substr(colon + 1))));
        pos = next + 2;
    }
    headLength = end + 4;
    return HeadResult::Complete;
}

std::string HttpRequest(std::string_view method, std::string_view host, int port, std::string_view path) {
    std::string r(method);
    r += ' ';
    r += path;
    r += " HTTP/1.1\r\nHost: ";
    r += host;
    r += ':' + std::to_string(port) + "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n";
    return r;
}

std::string HandshakeRequest(std::string_view host, int port, std::string_view path, std::string_view key) {
    std::string r = "GET ";
    r += path;
    r += " HTTP/1.1\r\nHost: ";
    r += host;
    r += ':' + std::to_string(port);
    r += "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: ";
    r += key;
    r += "\r\nSec-WebSocket-Version: 13\r\n\r\n";
    return r;
}

std::string AcceptValue(std::string_view key) {
    std::string s(key);
    s += "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
    return Base64Encode(Sha1(s));
}

bool HandshakeAccepted(const HttpResponse& r, std::string_view key) {
    return r.status == 101 && ListsToken(r.Header("upgrade"), "websocket") &&
           ListsToken(r.Header("connection"), "upgrade") && r.Header("sec-websocket-accept") == AcceptValue(key);
}

std::string EncodeFrame(Opcode op, std::string_view payload, const uint8_t mask[4], bool fin) {
    std::string f;
    f.reserve(payload.size() + 14);
    f += static_cast<char>((fin ? 0x80 : 0) | op);
    size_t n = payload.size();
    if (n < 126) {
        f += static_cast<char>(0x80 | n);
    } else if (n <= 0xFFFF) {
        f += static_cast<char>(0x80 | 126);
        f += static_cast<char>(n >> 8);
        f += static_cast<char>(n & 0xFF);
    } else {
        f += static_cast<char>(0x80 | 127);
        for (int i = 7; i >= 0; --i) f += static_cast<char>((uint64_t(n) >> (i * 8)) & 0xFF);
    }
    f.append(reinterpret_cast<const char*>(mask), 4);
    for (size_t i = 0; i < n; ++i) f += static_cast<char>(payload[i] ^ mask[i & 3]);
    return f;
}

std::string ClosePayload(uint16_t code, std::string_view reason) {
    std::string p;
    p += static_cast<char>(code >> 8);
    p += static_cast<char>(code & 0xFF);
    p += reason.substr(0, 123);
    return p;
}

bool FrameDecoder::Fail(const char* why) {
    if (m_error.empty()) m_error = why;
    m_buf.clear();
    m_pos = 0;
    return false;
}

bool FrameDecoder::Feed(const void* data, size_t n) {
    if (Failed()) return false;
    m_buf.append(static_cast<const char*>(data), n);
    while (DecodeOne()) {}
    if (Failed()) return false;
    // Drop what has been consumed once it is a good part of the buffer.
    if (m_pos > 65536 && m_pos * 2 > m_buf.size()) {
        m_buf.erase(0, m_pos);
        m_pos = 0;
    }
    return true;
}

bool FrameDecoder::DecodeOne() {
    const size_t avail = m_buf.size() - m_pos;
    if (avail < 2) return false;
    const auto* p = reinterpret_cast<const uint8_t*>(m_buf.data() + m_pos);
    const bool fin = p[0] & 0x80;
    const uint8_t op = p[0] & 0x0F;
    if (p[0] & 0x70) return Fail("reserved bits set");
    if (p[1] & 0x80) return Fail("masked frame from the server");
    uint64_t len = p[1] & 0x7F;
    size_t head = 2;
    if (len == 126) {
        if (avail < 4) return false;
        len = (uint64_t(p[2]) << 8) | p[3];
        if (len < 126) return Fail("length not in its shortest form");
        head = 4;
    } else if (len == 127) {
        if (avail < 10) return false;
        len = 0;
        for (int i = 0; i < 8; ++i) len = (len << 8) | p[2 + i];
        if (len >> 63) return Fail("length with its top bit set");
        if (len <= 0xFFFF) return Fail("length not in its shortest form");
        head = 10;
    }
    const bool control = op & 0x08;
    if (control) {
        if (op != kClose && op != kPing && op != kPong) return Fail("unknown control opcode");
        if (!fin) return Fail("fragmented control frame");
        if (len > 125) return Fail("control frame too long");
    } else {
        if (op != kContinuation && op != kText && op != kBinary) return Fail("unknown data opcode");
        if (op == kContinuation && !m_partialOp) return Fail("continuation without a message");
        if (op != kContinuation && m_partialOp) return Fail("new message inside a fragmented one");
        if (len > m_maxMessage || m_partial.size() + len > m_maxMessage) return Fail("message too long");
    }
    if (avail - head < len) return false;
    std::string_view payload(m_buf.data() + m_pos + head, static_cast<size_t>(len));
    m_pos += head + static_cast<size_t>(len);

    if (control) {
        Event e;
        if (op == kPing) {
            e.kind = Event::Ping;
            e.data = std::string(payload);
        } else if (op == kPong) {
            e.kind = Event::Pong;
            e.data = std::string(payload);
        } else {
            e.kind = Event::Close;
            if (payload.size() == 1) return Fail("close frame with a one-byte body");
            e.closeCode = payload.empty() ? 1005 : uint16_t((uint8_t(payload[0]) << 8) | uint8_t(payload[1]));
            if (payload.size() > 2) e.data = std::string(payload.substr(2));
        }
        m_events.push_back(std::move(e));
        return true;
    }
    if (op != kContinuation) m_partialOp = op;
    m_partial.append(payload.data(), payload.size());
    if (fin) {
        Event e;
        e.kind = m_partialOp == kText ? Event::Text : Event::Binary;
        e.data = std::move(m_partial);
        m_partial.clear();
        m_partialOp = 0;
        m_events.push_back(std::move(e));
    }
    return true;
}

bool FrameDecoder::Next(Event& out) {
    if (m_events.empty()) return false;
    out = std::move(m_events.front());
    m_events.pop_front();
    return true;
}

}  // namespace ws
