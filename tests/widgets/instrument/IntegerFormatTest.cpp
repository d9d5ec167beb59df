#include "widgets/instrument/IntegerFormat.h"

#include <gtest/gtest.h>
#include <limits>
#include <random>

using namespace IntegerFormat;

TEST(IntegerFormat, FormatsEachNotationWithAndWithoutLeadingZeros) {
    EXPECT_EQ(FormatValue(0, iifsInteger, 0, false), "0");
    EXPECT_EQ(FormatValue(0, iifsInteger, 3, true), "000");
    EXPECT_EQ(FormatValue(42, iifsInteger, 5, true), "00042");
    EXPECT_EQ(FormatValue(123456, iifsInteger, 3, true), "123456");
    EXPECT_EQ(FormatValue(-7, iifsInteger, 0, false), "-7");

    EXPECT_EQ(FormatValue(255, iifsHex, 0, false), "FF");
    EXPECT_EQ(FormatValue(255, iifsHex, 0, true), "000000FF");
    EXPECT_EQ(FormatValue(255, iifsHex, 4, true), "00FF");
    EXPECT_EQ(FormatValue(-1, iifsHex, 0, false), "FFFFFFFF");

    EXPECT_EQ(FormatValue(5, iifsBinary, 0, false), "101");
    EXPECT_EQ(FormatValue(5, iifsBinary, 6, true), "000101");
    EXPECT_EQ(FormatValue(5, iifsBinary, 0, true), QString(29, u'0') + "101");
    EXPECT_EQ(FormatValue(-1, iifsBinary, 0, false), QString(32, u'1'));

    EXPECT_EQ(FormatValue(8, iifsOctal, 0, false), "10");
    EXPECT_EQ(FormatValue(8, iifsOctal, 4, true), "0010");
    EXPECT_EQ(FormatValue(-1, iifsOctal, 0, false), "37777777777");
    EXPECT_EQ(FormatValue(0, iifsOctal, 0, true), QString(11, u'0'));
}

TEST(IntegerFormat, LeadingZerosGoAfterTheMinusSign) {
    EXPECT_EQ(FormatValue(-5, iifsInteger, 4, true), "-005");
    EXPECT_EQ(FormatValue(-12345, iifsInteger, 3, true), "-12345");
}

TEST(IntegerFormat, EveryNotationReadsBackWhatItWrites) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::int32_t> values(std::numeric_limits<std::int32_t>::min(),
                                                       std::numeric_limits<std::int32_t>::max());
    for (auto style : {iifsInteger, iifsHex, iifsBinary, iifsOctal}) {
        for (std::int32_t value : {0, 1, -1, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max()}) {
            EXPECT_EQ(ParseText(FormatValue(value, style, 0, true), style), value) << style;
        }
        for (int round = 0; round < 500; ++round) {
            const std::int32_t value = values(random);
            const QString text = FormatValue(value, style, 0, round % 2 == 0);
            ASSERT_EQ(ParseText(text, style), value) << style << " " << text.toStdString();
        }
    }
}

TEST(IntegerFormat, DecimalFieldReadsSignsPrefixesAndRejectsTheRest) {
    EXPECT_EQ(ParseText("127", iifsInteger), 127);
    EXPECT_EQ(ParseText("  -42", iifsInteger), -42);
    EXPECT_EQ(ParseText("+9", iifsInteger), 9);
    EXPECT_EQ(ParseText("$1F", iifsInteger), 31);
    EXPECT_EQ(ParseText("b101", iifsInteger), 5);
    EXPECT_EQ(ParseText("o17", iifsInteger), 15);
    EXPECT_EQ(ParseText("2147483647", iifsInteger), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(ParseText("-2147483648", iifsInteger), std::numeric_limits<std::int32_t>::min());

    for (const char* bad : {"", " ", "-", "$", "12a", "1 2", "12 ", "0x10", "B101", "b102", "o8",
                            "2147483648", "-2147483649", "99999999999999999999", "$100000000",
                            "b"
                            "111111111111111111111111111111111",
                            "１２"}) {
        EXPECT_EQ(ParseText(QString::fromUtf8(bad), iifsInteger), std::nullopt) << bad;
    }
}

TEST(IntegerFormat, OtherNotationsRejectForeignDigitsAndOverflow) {
    EXPECT_EQ(ParseText("ff", iifsHex), 255);
    EXPECT_EQ(ParseText("FFFFFFFF", iifsHex), -1);
    EXPECT_EQ(ParseText("", iifsHex), std::nullopt);
    EXPECT_EQ(ParseText("1FFFFFFFF", iifsHex), std::nullopt);
    EXPECT_EQ(ParseText("G1", iifsHex), std::nullopt);

    EXPECT_EQ(ParseText("", iifsBinary), 0);
    EXPECT_EQ(ParseText("0110", iifsBinary), 6);
    EXPECT_EQ(ParseText("12", iifsBinary), std::nullopt);
    EXPECT_EQ(ParseText(QString(33, u'1'), iifsBinary), std::nullopt);
    EXPECT_EQ(ParseText(QString(40, u'0') + "1", iifsBinary), 1);

    EXPECT_EQ(ParseText("", iifsOctal), 0);
    EXPECT_EQ(ParseText("777", iifsOctal), 511);
    EXPECT_EQ(ParseText("8", iifsOctal), std::nullopt);
    EXPECT_EQ(ParseText("40000000000", iifsOctal), std::nullopt);
    EXPECT_EQ(ParseText("-1", iifsOctal), std::nullopt);
}

TEST(IntegerFormat, KeyFilterAcceptsOnlyTheDigitsOfTheNotation) {
    const QString all = "0123456789abcdefgABCDEFG-+ $.";
    const QString expected[] = {"0123456789", "0123456789abcdefABCDEF", "01", "01234567"};
    for (auto style : {iifsInteger, iifsHex, iifsBinary, iifsOctal}) {
        QString accepted;
        for (QChar character : all) {
            if (IsValidChar(character, style)) {
                accepted += character;
            }
        }
        EXPECT_EQ(accepted, expected[style]) << style;
    }
    EXPECT_FALSE(IsValidChar(QChar(0x0661), iifsInteger)); // Arabic-Indic one
}

TEST(IntegerFormat, PaddingWidthFollowsMaxLengthWithinTheDigitCount) {
    EXPECT_EQ(paddingWidth(iifsInteger, 0), 0);
    EXPECT_EQ(paddingWidth(iifsInteger, 12), 12);
    EXPECT_EQ(paddingWidth(iifsHex, 12), 8);
    EXPECT_EQ(paddingWidth(iifsBinary, 0), 32);
    EXPECT_EQ(paddingWidth(iifsOctal, 3), 3);
}
