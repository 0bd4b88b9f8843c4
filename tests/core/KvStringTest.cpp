#include <gtest/gtest.h>

#include <string>

#include "KvExceptions.h"
#include "KvString.h"

TEST(KvString, FromUnsignedFillsAndNeverCuts) {
    EXPECT_STREQ(KvString::FromUnsigned(7, 9).CStr(), "000000007");
    EXPECT_STREQ(KvString::FromUnsigned(4294967295u, 9).CStr(), "4294967295");
    EXPECT_STREQ(KvString::FromUnsigned(0, -1).CStr(), "0");
    EXPECT_STREQ(KvString::FromUnsigned(4294967295u, -1).CStr(), "4294967295");
    EXPECT_STREQ(KvString::FromUnsigned(12345, 0).CStr(), "12345");
    // A huge width is a long run of zeros, not a broken format string.
    const KvString wide = KvString::FromUnsigned(5, 1000);
    EXPECT_EQ(wide.Length(), 1000);
    EXPECT_EQ(wide.Bytes(), std::string(999, '0') + "5");
}

TEST(KvString, ToLongReadsLikeScanf) {
    EXPECT_EQ(KvString("  42abc").ToLong(), 42);
    EXPECT_EQ(KvString("-5").ToLong(), -5);
    EXPECT_EQ(KvString("+17").ToLong(), 17);
    EXPECT_EQ(KvString("123\r\n").ToLong(), 123);
    EXPECT_EQ(KvString("\t\r\n\v\f9").ToLong(), 9);
    EXPECT_EQ(KvString("2147483647").ToLong(), 2147483647);
    EXPECT_EQ(KvString("-2147483648").ToLong(), -2147483647 - 1);
    // Beyond 32 bits is noise (a digit run cut at the end of a line), not a number.
    for (const char* bad :
         {"", "   ", "abc", "-", "+", "- 5", "2147483648", "-2147483649", "00123456789012345678901234567890"}) {
        try {
            KvString(bad).ToLong();
            ADD_FAILURE() << "no exception for '" << bad << "'";
        } catch (const KvStringFormatException& e) {
            EXPECT_STREQ(e.message.CStr(), bad);
        }
    }
}

TEST(KvString, SubstringClampsEveryBound) {
    const KvString five("abcde");
    EXPECT_STREQ(five.Substring(6).CStr(), "");
    EXPECT_STREQ(five.Substring(5).CStr(), "");
    EXPECT_STREQ(five.Substring(-3, 2).CStr(), "ab");
    EXPECT_STREQ(five.Substring(2, 100).CStr(), "cde");
    EXPECT_STREQ(five.Substring(0, -2).CStr(), "");
    EXPECT_STREQ(five.Substring(0, -1).CStr(), "abcde");
    EXPECT_STREQ(five.Substring(1, 3).CStr(), "bcd");
}

TEST(KvString, FindAndCompare) {
    const KvString text("*SAD: 1/2\r\n");
    EXPECT_EQ(text.Find(":"), 4);
    EXPECT_EQ(text.Find("/", 4), 7);
    EXPECT_EQ(text.Find("x"), -1);
    EXPECT_EQ(text.Find(":", 100), -1);
    EXPECT_EQ(text.Find("", 3), 3);
    EXPECT_TRUE(KvString("NAK") == "NAK");
    EXPECT_FALSE(KvString("NAK") == "nak");
    EXPECT_FALSE(KvString("NA") == "NAK");
}

TEST(KvString, AppendAndConcatAreByteExact) {
    KvString s("a");
    s += static_cast<char>(0xE3);
    s += KvString("bc");
    ASSERT_EQ(s.Length(), 4);
    EXPECT_EQ(static_cast<unsigned char>(s.CStr()[1]), 0xE3);
    EXPECT_STREQ((s + KvString("!")).CStr(),
                 "a\xE3"
                 "bc!");
    EXPECT_STREQ(Concat("pre:", KvString("fix")).CStr(), "pre:fix");
    KvString copy = s;
    copy += 'z';
    EXPECT_EQ(s.Length(), 4) << "copies are independent";
}

TEST(KvString, ParsePairStoresOnlyOnSuccess) {
    std::int32_t a = -1, b = -1;
    KvString("*MOD: 12/3\r\n").ParsePair(a, b);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, 3);

    // The first colon counts; a slash before it does not.
    KvString("x/y:7/8").ParsePair(a, b);
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, 8);

    for (const char* bad : {"*SAD 12/3\r\n", "*SAD/12:3\r\n", "*SAD:12/ab\r\n", "*SAD:/3\r\n", ""}) {
        a = 111;
        b = 222;
        EXPECT_THROW(KvString(bad).ParsePair(a, b), KvStringFormatException) << bad;
        EXPECT_EQ(a, 111) << bad;
        EXPECT_EQ(b, 222) << bad;
    }
    // The exception names the part that failed, not the whole line.
    try {
        KvString("*SAD:12/ab\r\n").ParsePair(a, b);
    } catch (const KvStringFormatException& e) {
        EXPECT_STREQ(e.message.CStr(), "ab\r\n");
    }
}
