#include "json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TEST(Json, ReadsTheFieldsOfAProtocolMessage) {
    auto v = json::Parse(R"({"id":7,"result":{"result":{"type":"string","value":"37.5,127.25"}},"sessionId":"AB12",)"
                         R"("list":[1,true,null,"x",{"k":-2.5e2}]})");
    ASSERT_TRUE(v);
    EXPECT_EQ((*v)["id"].AsInt(), 7);
    EXPECT_EQ((*v)["result"]["result"]["value"].AsString(), "37.5,127.25");
    EXPECT_EQ((*v)["sessionId"].AsString(), "AB12");
    EXPECT_EQ((*v)["list"].size(), 5u);
    EXPECT_TRUE((*v)["list"][1].AsBool());
    EXPECT_TRUE((*v)["list"][2].IsNull());
    EXPECT_DOUBLE_EQ((*v)["list"][4]["k"].AsNumber(), -250);
    // Absent members and wrong types read as the fallback, never throw.
    EXPECT_TRUE((*v)["missing"]["deeper"].IsNull());
    EXPECT_EQ((*v)["id"].AsString(), "");
    EXPECT_EQ((*v)["sessionId"].AsInt(-1), -1);
    EXPECT_TRUE((*v)["list"][99].IsNull());
    EXPECT_FALSE((*v)["list"].Has("x"));
}

TEST(Json, Numbers) {
    EXPECT_EQ(json::Parse("0")->AsInt(), 0);
    EXPECT_EQ(json::Parse("-12")->AsInt(), -12);
    EXPECT_EQ(json::Parse("9007199254740993")->AsInt(), 9007199254740992);  // nearest double
    EXPECT_DOUBLE_EQ(json::Parse("1.5E+3")->AsNumber(), 1500);
    EXPECT_DOUBLE_EQ(json::Parse("37.387458")->AsNumber(), 37.387458);
    EXPECT_EQ(json::Parse("1.5")->AsInt(99), 99);  // not integral
    EXPECT_TRUE(std::isinf(json::Parse("1e999")->AsNumber()));
    EXPECT_EQ(json::Parse("1e-999")->AsNumber(), 0);
    EXPECT_EQ(json::Parse("1e300")->AsInt(5), 5);  // integral but out of range
}

TEST(Json, StringEscapesAndUnicode) {
    EXPECT_EQ(json::Parse(R"("a\"b\\c\/d\b\f\n\r\t")")->AsString(), "a\"b\\c/d\b\f\n\r\t");
    EXPECT_EQ(json::Parse(R"("\u00e9\uD55C")")->AsString(), "\xC3\xA9\xED\x95\x9C");
    EXPECT_EQ(json::Parse(R"("\ud83d\ude00")")->AsString(), "\xF0\x9F\x98\x80");
    // Lone surrogates, which JavaScript strings may carry, become U+FFFD.
    EXPECT_EQ(json::Parse(R"("\ud83dx")")->AsString(), "\xEF\xBF\xBDx");
    EXPECT_EQ(json::Parse(R"("\ude00")")->AsString(), "\xEF\xBF\xBD");
    EXPECT_EQ(json::Parse(R"("\ud83d\u0041")")->AsString(),
              "\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(json::Parse("\"\xED\x95\x9C\"")->AsString(), "\xED\x95\x9C");  // raw UTF-8 kept
}

TEST(Json, RejectsMalformedText) {
    const char* bad[] = {"",         " ",          "{",         "}",         "[1,]",        "[,1]",     "{\"a\"}",
                         "{\"a\":}", "{\"a\":1,}", "{a:1}",     "{'a':1}",   "01",          "-",        "1.",
                         ".5",       "1e",         "+1",        "0x10",      "NaN",         "Infinity", "tru",
                         "nul",      "\"abc",      "\"\\x\"",   "\"\\u12\"", "\"\\u12G4\"", "\"a\nb\"", "[1 2]",
                         "1 2",      "{} x",       "[\"a\":1]", "{\"a\" 1}", "\"\\"};
    for (const char* text : bad) EXPECT_FALSE(json::Parse(text)) << "accepted: " << text;
    EXPECT_FALSE(json::Parse(std::string("\"a\0b\"", 5)));  // raw control character
}

TEST(Json, NestingIsBounded) {
    std::string deep(100000, '[');
    EXPECT_FALSE(json::Parse(deep));  // no stack overflow on hostile input
    std::string ok = std::string(64, '[') + std::string(64, ']');
    EXPECT_TRUE(json::Parse(ok));
    std::string over = std::string(65, '[') + std::string(65, ']');
    EXPECT_FALSE(json::Parse(over));
    std::string objects;
    for (int i = 0; i < 70; ++i) objects += "{\"a\":";
    objects += "1" + std::string(70, '}');
    EXPECT_FALSE(json::Parse(objects));
}

TEST(Json, WriterOutputReadsBackTheSame) {
    std::string text = json::ObjectWriter()
                           .Add("id", 12)
                           .Add("method", "Runtime.evaluate")
                           .AddRaw("params", json::ObjectWriter()
                                                 .Add("expression", "f(\"37.1\",\n'x')\x01")
                                                 .Add("returnByValue", true)
                                                 .Add("scale", 0.25)
                                                 .Done())
                           .Done();
    auto v = json::Parse(text);
    ASSERT_TRUE(v) << text;
    EXPECT_EQ((*v)["id"].AsInt(), 12);
    EXPECT_EQ((*v)["method"].AsString(), "Runtime.evaluate");
    EXPECT_EQ((*v)["params"]["expression"].AsString(), "f(\"37.1\",\n'x')\x01");
    EXPECT_TRUE((*v)["params"]["returnByValue"].AsBool());
    EXPECT_DOUBLE_EQ((*v)["params"]["scale"].AsNumber(), 0.25);
    EXPECT_EQ(json::Parse(v->Write())->Write(), v->Write());
    EXPECT_EQ(json::ObjectWriter().Done(), "{}");
}

TEST(Json, QuoteEscapesWhatJsonAndScriptsNeed) {
    EXPECT_EQ(json::Quote("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(json::Quote(std::string("\x01\x1f", 2)), R"("\u0001\u001f")");
    EXPECT_EQ(json::Quote("\xE2\x80\xA8\xE2\x80\xA9"), R"("\u2028\u2029")");
    EXPECT_EQ(json::Quote("\xFF"
                          "a\xC3"),
              R"("\ufffda\ufffd")");                                    // invalid UTF-8
    EXPECT_EQ(json::Quote("\xED\xA0\x80"), R"("\ufffd\ufffd\ufffd")");  // encoded surrogate
    EXPECT_EQ(json::Quote("\xED\x95\x9C"), "\"\xED\x95\x9C\"");
}

TEST(Json, NumbersAreWrittenExactly) {
    EXPECT_EQ(json::Number(305), "305");
    EXPECT_EQ(json::Number(-2), "-2");
    EXPECT_EQ(json::Number(0.1), "0.1");
    EXPECT_EQ(json::Number(127.123456), "127.123456");
    EXPECT_EQ(json::Number(std::nan("")), "null");
    EXPECT_EQ(json::Number(HUGE_VAL), "null");
    EXPECT_DOUBLE_EQ(json::Parse(json::Number(1e300))->AsNumber(), 1e300);
}

}  // namespace
