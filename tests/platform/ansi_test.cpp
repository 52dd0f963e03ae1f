#include "platform/ansi.h"

#include <gtest/gtest.h>

#include <string>

namespace platform {
namespace {

TEST(Ansi, EveryByteSurvivesTheTripThroughUtf8) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        all.push_back(static_cast<char>(byte));
    }
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
}

TEST(Ansi, KnownCharactersConvertBothWays) {
    EXPECT_EQ(AnsiToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(AnsiToUtf8("Fran\xE7"
                         "ais"),
              "Fran\u00E7ais");
    EXPECT_EQ(AnsiToUtf8("\x9F"), "\u0178");
    EXPECT_EQ(Utf8ToAnsi("Z\u00FCrich \u2013 \u20AC"), "Z\xFCrich \x96 \x80");
}

TEST(Ansi, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
    EXPECT_EQ(Utf8ToAnsi("\u4E2D"), "?");
    EXPECT_EQ(Utf8ToAnsi("\U0001F600x"), "?x");
    EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a?");     // cut in the middle of a character
    EXPECT_EQ(Utf8ToAnsi("\xFF\x41"), "?A");  // not UTF-8 at all
    EXPECT_EQ(Utf8ToAnsi("\xC3\x41"), "?A");  // lead byte without its continuation
}

TEST(Ansi, LowerCaseFollowsTheCodePage) {
    EXPECT_EQ(LowerAnsi("LOCAL=Scenery\\World"), "local=scenery\\world");
    EXPECT_EQ(LowerAnsi("\xC0\xC9\xDE"), "\xE0\xE9\xFE");
    EXPECT_EQ(LowerAnsi("\xD7\xDF"), "\xD7\xDF");  // multiplication sign, sharp s
    EXPECT_EQ(LowerAnsi("\x8A\x8C\x8E\x9F"), "\x9A\x9C\x9E\xFF");
    EXPECT_EQ(LowerAnsi("123 []_\\/"), "123 []_\\/");
}

}  // namespace
}  // namespace platform
