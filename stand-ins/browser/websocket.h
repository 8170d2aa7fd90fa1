// WebSocket client protocol (RFC 6455) without the socket: the opening
// handshake, masked client frames, and an incremental decoder of the server's
// frames (fragmented messages, ping/pong, close). Also the HTTP response head
// parser the handshake and the DevTools HTTP endpoints need, Base64 and SHA-1.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ws {

std::string Base64Encode(std::string_view bytes);
// Standard alphabet, padding optional; false on any other character or a
// malformed tail.
bool Base64Decode(std::string_view text, std::string& out);
// The 20-byte SHA-1 digest of the bytes.
std::string Sha1(std::string_view bytes);

// ---- HTTP ---------------------------------------------------------------

struct HttpResponse {
    int status = 0;
    // Header names in lower case, values without surrounding white space.
    std::vector<std::pair<std::string, std::string>> headers;
    // The value of a header (case-insensitive name), or empty.
    std::string Header(std::string_view name) const;
};

enum class HeadResult { Incomplete, Complete, Malformed };
// Parses the status line and headers at the start of buf. On Complete,
// headLength is the size of the head including the blank line.
HeadResult ParseHttpHead(std::string_view buf, HttpResponse& out, size_t& headLength, size_t maxHead = 16384);

// A GET (or PUT) request for a path on host:port, closing the connection after it.
std::string HttpRequest(std::string_view method, std::string_view host, int port, std::string_view path);

// ---- WebSocket ------------------------------------------------------------

// The upgrade request for path on host:port with the client's Base64 key.
std::string HandshakeRequest(std::string_view host, int port, std::string_view path, std::string_view key);
// The Sec-WebSocket-Accept value the server must answer to a key.
std::string AcceptValue(std::string_view key);
// True when the response accepts the upgrade for that key.
bool HandshakeAccepted(const HttpResponse& response, std::string_view key);

enum Opcode : uint8_t { kContinuation = 0, kText = 1, kBinary = 2, kClose = 8, kPing = 9, kPong = 10 };

// One client frame: masked with the four mask bytes, as RFC 6455 requires.
std::string EncodeFrame(Opcode op, std::string_view payload, const uint8_t mask[4], bool fin = true);
// A close frame's payload: the status code, big-endian, then the reason.
std::string ClosePayload(uint16_t code, std::string_view reason = {});

// What the decoder hands up: whole messages (fragments joined) and control frames.
struct Event {
    enum Kind { Text, Binary, Ping, Pong, Close } kind = Text;
    std::string data;        // message, ping/pong payload, or close reason
    uint16_t closeCode = 0;  // Close: the code, 1005 when none was sent
};

// Decodes the server's byte stream. Any protocol violation (reserved bits,
// unknown opcodes, masked server frames, oversized or fragmented control
// frames, continuation without a message, a new message inside a fragmented
// one, messages over the size limit, bad lengths) fails the decoder for good;
// the connection must then be dropped.
class FrameDecoder {
public:
    explicit FrameDecoder(size_t maxMessage = size_t(64) << 20) : m_maxMessage(maxMessage) {}

    // Appends received bytes and decodes what is complete; false once failed.
    bool Feed(const void* data, size_t n);
    // Takes the next decoded event; false when none is waiting.
    bool Next(Event& out);
    bool Failed() const { return !m_error.empty(); }
    const std::string& Error() const { return m_error; }

private:
    bool DecodeOne();  // one frame from m_buf, if complete
    bool Fail(const char* why);

    size_t m_maxMessage;
    std::string m_buf;
    size_t m_pos = 0;
    std::deque<Event> m_events;
    std::string m_partial;    // the fragments of the message in progress
    uint8_t m_partialOp = 0;  // its opcode, 0 when none is in progress
    std::string m_error;
};

}  // namespace ws
