#include "websocket.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Hex(const std::string& bytes) {
    static const char d[] = "0123456789abcdef";
    std::string h;
    for (unsigned char c : bytes) h += d[c >> 4], h += d[c & 15];
    return h;
}

// A frame as the server sends it: unmasked.
std::string ServerFrame(uint8_t first, const std::string& payload) {
    std::string f;
    f += static_cast<char>(first);
    size_t n = payload.size();
    if (n < 126) {
        f += static_cast<char>(n);
    } else if (n <= 0xFFFF) {
        f += static_cast<char>(126);
        f += static_cast<char>(n >> 8);
        f += static_cast<char>(n & 0xFF);
    } else {
        f += static_cast<char>(127);
        for (int i = 7; i >= 0; --i) f += static_cast<char>((uint64_t(n) >> (i * 8)) & 0xFF);
    }
    return f + payload;
}

TEST(Base64, KnownVectors) {
    const char* plain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    const char* coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(ws::Base64Encode(plain[i]), coded[i]);
        std::string back;
        EXPECT_TRUE(ws::Base64Decode(coded[i], back));
        EXPECT_EQ(back, plain[i]);
    }
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    std::string back;
    ASSERT_TRUE(ws::Base64Decode(ws::Base64Encode(all), back));
    EXPECT_EQ(back, all);
    EXPECT_TRUE(ws::Base64Decode("Zm9vYg", back));  // padding left out
    EXPECT_EQ(back, "foob");
}

TEST(Base64, RejectsMalformedText) {
    std::string out;
    for (const char* bad : {"Z", "Zm9vY", "Zm 9v", "Zm9v\n", "Zm=v", "Zh==", "Zm9vYmF$", "====="})
        EXPECT_FALSE(ws::Base64Decode(bad, out)) << bad;
}

TEST(Sha1, KnownDigests) {
    EXPECT_EQ(Hex(ws::Sha1("")), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Hex(ws::Sha1("abc")), "a9993e364706816aba3e25717850c26c9cd0d89d");
    EXPECT_EQ(Hex(ws::Sha1("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "84983e441c3bd26ebaae4aa1f95129e5e54670f1");
    EXPECT_EQ(Hex(ws::Sha1(std::string(1000000, 'a'))), "34aa973cd4c4daa4f61eeb2bdbad27316534016f");
}

TEST(Handshake, RequestAndAcceptance) {
    const std::string key = "dGhlIHNhbXBsZSBub25jZQ==";
    EXPECT_EQ(ws::AcceptValue(key), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
    std::string req = ws::HandshakeRequest("127.0.0.1", 9222, "/devtools/browser/abc", key);
    EXPECT_EQ(req.rfind("GET /devtools/browser/abc HTTP/1.1\r\n", 0), 0u);
    EXPECT_NE(req.find("Host: 127.0.0.1:9222\r\n"), std::string::npos);
    EXPECT_NE(req.find("Sec-WebSocket-Key: " + key + "\r\n"), std::string::npos);
    EXPECT_NE(req.find("Sec-WebSocket-Version: 13\r\n"), std::string::npos);
    EXPECT_EQ(req.substr(req.size() - 4), "\r\n\r\n");

    std::string reply =
        "HTTP/1.1 101 WebSocket Protocol Handshake\r\nUpgrade: WebSocket\r\nConnection: keep-alive, Upgrade\r\n"
        "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n\x81\x02hi";
    ws::HttpResponse r;
    size_t head = 0;
    ASSERT_EQ(ws::ParseHttpHead(reply, r, head), ws::HeadResult::Complete);
    EXPECT_EQ(reply.substr(head), "\x81\x02hi");  // frames may follow the head at once
    EXPECT_TRUE(ws::HandshakeAccepted(r, key));
    EXPECT_FALSE(ws::HandshakeAccepted(r, "AAAAAAAAAAAAAAAAAAAAAA=="));

    ws::HttpResponse refused;
    ASSERT_EQ(ws::ParseHttpHead("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n", refused, head),
              ws::HeadResult::Complete);
    EXPECT_FALSE(ws::HandshakeAccepted(refused, key));
    ws::HttpResponse noUpgrade;
    ASSERT_EQ(ws::ParseHttpHead("HTTP/1.1 101 OK\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n",
                                noUpgrade, head),
              ws::HeadResult::Complete);
    EXPECT_FALSE(ws::HandshakeAccepted(noUpgrade, key));
}

TEST(Http, HeadParsing) {
    ws::HttpResponse r;
    size_t head = 0;
    EXPECT_EQ(ws::ParseHttpHead("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", r, head), ws::HeadResult::Incomplete);
    ASSERT_EQ(ws::ParseHttpHead("HTTP/1.1 200 OK\r\nContent-Type:  application/json \r\nContent-Length:5\r\n\r\n{...}",
                                r, head),
              ws::HeadResult::Complete);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.Header("CONTENT-TYPE"), "application/json");
    EXPECT_EQ(r.Header("content-length"), "5");
    EXPECT_EQ(r.Header("absent"), "");
    ASSERT_EQ(ws::ParseHttpHead("HTTP/1.0 404\r\n\r\n", r, head), ws::HeadResult::Complete);
    EXPECT_EQ(r.status, 404);
    for (const char* bad : {"HTTP/1.1 2x0 OK\r\n\r\n", "HTTP/2 200 OK\r\n\r\n", "SSH-2.0-OpenSSH\r\n\r\n",
                            "HTTP/1.1 200 OK\r\nNoColon\r\n\r\n", "HTTP/1.1 200 OK\r\n: empty\r\n\r\n",
                            "HTTP/1.1 200 OK\r\nBad Name: x\r\n\r\n", "HTTP/1.1 2000 OK\r\n\r\n"})
        EXPECT_EQ(ws::ParseHttpHead(bad, r, head), ws::HeadResult::Malformed) << bad;
    std::string endless = "HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'a');
    EXPECT_EQ(ws::ParseHttpHead(endless, r, head), ws::HeadResult::Malformed);
    std::string req = ws::HttpRequest("PUT", "127.0.0.1", 80, "/json/new?about:blank");
    EXPECT_EQ(req.rfind("PUT /json/new?about:blank HTTP/1.1\r\nHost: 127.0.0.1:80\r\n", 0), 0u);
}

TEST(Frames, ClientFramesAreMaskedWithTheShortestLength) {
    const uint8_t mask[4] = {0x37, 0xfa, 0x21, 0x3d};
    std::string f = ws::EncodeFrame(ws::kText, "Hello", mask);
    // RFC 6455 5.7: a single-frame masked text message.
    EXPECT_EQ(Hex(f), "818537fa213d7f9f4d5158");
    for (size_t n : {size_t(125), size_t(126), size_t(65535), size_t(65536)}) {
        std::string payload(n, 'x');
        std::string g = ws::EncodeFrame(ws::kBinary, payload, mask, false);
        EXPECT_EQ(uint8_t(g[0]), 0x02);  // not final
        size_t head = n < 126 ? 2 : n <= 0xFFFF ? 4 : 10;
        EXPECT_EQ(g.size(), head + 4 + n);
        EXPECT_EQ(uint8_t(g[1]) & 0x7F, n < 126 ? n : n <= 0xFFFF ? 126u : 127u);
        EXPECT_EQ(uint8_t(g[1]) & 0x80, 0x80);
        std::string unmasked;
        for (size_t i = 0; i < n; ++i) unmasked += static_cast<char>(g[head + 4 + i] ^ mask[i & 3]);
        EXPECT_EQ(unmasked, payload);
    }
    EXPECT_EQ(ws::ClosePayload(1000, "bye"), std::string("\x03\xe8"
                                                         "bye",
                                                         5));
}

TEST(Frames, DecoderJoinsFragmentsAndPassesControlFramesBetween) {
    ws::FrameDecoder d;
    std::string stream = ServerFrame(0x01, "{\"id\":") + ServerFrame(0x89, "p1") + ServerFrame(0x00, "1,") +
                         ServerFrame(0x80, "\"x\":2}") + ServerFrame(0x82, std::string(70000, 'b')) +
                         ServerFrame(0x8A, "") + ServerFrame(0x88, "\x03\xe9going");
    // Fed one byte at a time: frames cut anywhere are put together.
    for (char c : stream) ASSERT_TRUE(d.Feed(&c, 1));
    ws::Event e;
    ASSERT_TRUE(d.Next(e));
    EXPECT_EQ(e.kind, ws::Event::Ping);
    EXPECT_EQ(e.data, "p1");
    ASSERT_TRUE(d.Next(e));
    EXPECT_EQ(e.kind, ws::Event::Text);
    EXPECT_EQ(e.data, "{\"id\":1,\"x\":2}");
    ASSERT_TRUE(d.Next(e));
    EXPECT_EQ(e.kind, ws::Event::Binary);
    EXPECT_EQ(e.data.size(), 70000u);
    ASSERT_TRUE(d.Next(e));
    EXPECT_EQ(e.kind, ws::Event::Pong);
    ASSERT_TRUE(d.Next(e));
    EXPECT_EQ(e.kind, ws::Event::Close);
    EXPECT_EQ(e.closeCode, 1001);
    EXPECT_EQ(e.data, "going");
    EXPECT_FALSE(d.Next(e));

    ws::FrameDecoder quiet;
    std::string close = ServerFrame(0x88, "");
    ASSERT_TRUE(quiet.Feed(close.data(), close.size()));
    ASSERT_TRUE(quiet.Next(e));
    EXPECT_EQ(e.closeCode, 1005);
}

TEST(Frames, DecoderKeepsUpWithManyMessagesInOneRead) {
    ws::FrameDecoder d;
    std::string stream;
    for (int i = 0; i < 5000; ++i) stream += ServerFrame(0x81, "{\"id\":" + std::to_string(i) + "}");
    ASSERT_TRUE(d.Feed(stream.data(), stream.size()));
    ws::Event e;
    int n = 0;
    while (d.Next(e)) EXPECT_EQ(e.data, "{\"id\":" + std::to_string(n++) + "}");
    EXPECT_EQ(n, 5000);
}

TEST(Frames, ProtocolViolationsFailTheDecoderForGood) {
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string longLen = "\x81\x7f";
    longLen += std::string("\x80\0\0\0\0\0\0\x01", 8);
    const Case cases[] = {
        {"reserved bit", ServerFrame(0xC1, "x")},
        {"masked by the server", std::string("\x81\x81\x01\x02\x03\x04x", 7)},
        {"unknown data opcode", ServerFrame(0x83, "x")},
        {"unknown control opcode", ServerFrame(0x8B, "")},
        {"fragmented ping", ServerFrame(0x09, "x")},
        {"long ping", ServerFrame(0x89, std::string(126, 'p'))},
        {"continuation first", ServerFrame(0x80, "x")},
        {"new message inside a fragmented one", ServerFrame(0x01, "a") + ServerFrame(0x81, "b")},
        {"top length bit", longLen},
        {"16-bit length under 126", std::string("\x81\x7e\x00\x05hello", 9)},
        {"64-bit length under 65536", std::string("\x81\x7f\0\0\0\0\0\0\0\x05hello", 15)},
        {"one-byte close body", ServerFrame(0x88, "\x03")},
    };
    for (const auto& c : cases) {
        ws::FrameDecoder d;
        EXPECT_FALSE(d.Feed(c.bytes.data(), c.bytes.size())) << c.what;
        EXPECT_TRUE(d.Failed()) << c.what;
        std::string good = ServerFrame(0x81, "ok");
        EXPECT_FALSE(d.Feed(good.data(), good.size())) << c.what;
        ws::Event e;
        EXPECT_FALSE(d.Next(e)) << c.what;
    }
    // The size limit counts the fragments of one message together.
    ws::FrameDecoder small(10);
    std::string parts = ServerFrame(0x01, "123456") + ServerFrame(0x80, "78901");
    EXPECT_FALSE(small.Feed(parts.data(), parts.size()));
    ws::FrameDecoder big(10);
    std::string announced = "\x81\x7f" + std::string("\0\0\0\x01\0\0\0\0", 8);  // 4 GiB, nothing sent
    EXPECT_FALSE(big.Feed(announced.data(), announced.size()));
}

}  // namespace
