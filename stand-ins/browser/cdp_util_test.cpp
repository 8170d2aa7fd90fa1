#include "cdp_util.h"

#include <gtest/gtest.h>

#include "json.h"

namespace {

TEST(CdpUtil, UrlSchemesAndDrivePaths) {
    EXPECT_TRUE(cdp::HasUrlScheme("file:///work/map.htm"));
    EXPECT_TRUE(cdp::HasUrlScheme("about:blank"));
    EXPECT_TRUE(cdp::HasUrlScheme("http://127.0.0.1/"));
    EXPECT_TRUE(cdp::HasUrlScheme("view-source:x"));
    EXPECT_FALSE(cdp::HasUrlScheme("C:\\program\\map.htm"));
    EXPECT_FALSE(cdp::HasUrlScheme("Z:/work/map.htm"));
    EXPECT_FALSE(cdp::HasUrlScheme("\\\\server\\share\\map.htm"));
    EXPECT_FALSE(cdp::HasUrlScheme("1http://x"));
    EXPECT_FALSE(cdp::HasUrlScheme("map.htm"));
    EXPECT_FALSE(cdp::HasUrlScheme(""));
}

TEST(CdpUtil, FileUrlsPercentEncodeTheirPath) {
    EXPECT_EQ(cdp::FileUrlFromUnixPath("/work/wt/build/program/map.htm"), "file:///work/wt/build/program/map.htm");
    EXPECT_EQ(cdp::FileUrlFromUnixPath("/a b/c#d?e%f"), "file:///a%20b/c%23d%3Fe%25f");
    EXPECT_EQ(cdp::FileUrlFromUnixPath("/\xED\x95\x9C/x"), "file:///%ED%95%9C/x");
}

TEST(CdpUtil, PortsAndEndpoints) {
    EXPECT_EQ(cdp::ParsePort("9222"), 9222);
    EXPECT_EQ(cdp::ParsePort(" 33001\n"), 33001);
    for (const char* bad : {"", "0", "65536", "-1", "12a", "123456", "0x10"}) EXPECT_EQ(cdp::ParsePort(bad), 0) << bad;
    std::string host, path;
    int port = 0;
    ASSERT_TRUE(cdp::ParseWebSocketUrl("ws://127.0.0.1:33001/devtools/browser/f255-9b44", host, port, path));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 33001);
    EXPECT_EQ(path, "/devtools/browser/f255-9b44");
    ASSERT_TRUE(cdp::ParseWebSocketUrl("ws://localhost:80", host, port, path));
    EXPECT_EQ(path, "/");
    for (const char* bad : {"wss://127.0.0.1:1/x", "ws://127.0.0.1/x", "ws://:9/x", "ws://h:0/x", "http://h:1/"})
        EXPECT_FALSE(cdp::ParseWebSocketUrl(bad, host, port, path)) << bad;
}

TEST(CdpUtil, ScriptExpressionsQuoteNamesAndArguments) {
    EXPECT_EQ(cdp::FunctionExistsExpression("DrawCurrent"), "typeof window[\"DrawCurrent\"]==='function'");
    std::string call = cdp::FunctionCallExpression("DrawCurrent", {json::Quote("37.387458"), json::Quote("127.1")});
    EXPECT_EQ(call,
              "(function(){var f=window[\"DrawCurrent\"];if(typeof f!=='function')throw new TypeError("
              "\"DrawCurrent\"+' is not a function');return f.call(window,\"37.387458\",\"127.1\");})()");
    // A hostile name stays one string literal.
    std::string evil = cdp::FunctionExistsExpression("x\"]);alert(1);//\xE2\x80\xA8");
    EXPECT_EQ(evil, "typeof window[\"x\\\"]);alert(1);//\\u2028\"]==='function'");
    EXPECT_EQ(cdp::FunctionCallExpression("f", {}),
              "(function(){var f=window[\"f\"];if(typeof f!=='function')throw new TypeError(\"f\"+' is not a "
              "function');return f.call(window);})()");
}

TEST(CdpUtil, KeyNames) {
    std::string key, code;
    ASSERT_TRUE(cdp::KeyNames(0x26, key, code));
    EXPECT_EQ(key, "ArrowUp");
    ASSERT_TRUE(cdp::KeyNames(0x09, key, code));
    EXPECT_EQ(code, "Tab");
    EXPECT_FALSE(cdp::KeyNames('A', key, code));
}

}  // namespace
