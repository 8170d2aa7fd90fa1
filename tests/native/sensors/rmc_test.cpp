// GPS sentence reading: the field splitter, the parser's fixed-offset fields,
// the map conversion, the shown date and time, and sentences as receivers of
// several kinds write them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "blocks.h"
#include "rmc.h"

using namespace sensors;
using testblocks::Rmc;

namespace {

std::vector<std::string> Tokens(std::string text) {
    std::vector<std::string> out;
    text.push_back(0);
    char* saved = nullptr;
    for (char* t = NextToken(&text[0], &saved); t; t = NextToken(nullptr, &saved)) out.push_back(t);
    return out;
}

GpsFix Parse(const std::string& s, bool* ok = nullptr) {
    GpsFix f;
    bool r = ParseRmc(s.data(), s.size(), f);
    if (ok) *ok = r;
    return f;
}

}  // namespace

TEST(NextToken, SkipsLeadingCommasOnlyOnTheFirstCall) {
    EXPECT_EQ(Tokens(",,a,b"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Tokens("a,,b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(Tokens("a,b,"), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(Tokens("a"), (std::vector<std::string>{"a"}));
    EXPECT_TRUE(Tokens("").empty());
    EXPECT_TRUE(Tokens(",,,").empty());
    // Once the rest has been returned there is nothing more, however often asked.
    char text[] = "x";
    char* saved = nullptr;
    EXPECT_STREQ(NextToken(text, &saved), "x");
    EXPECT_EQ(NextToken(nullptr, &saved), nullptr);
    EXPECT_EQ(NextToken(nullptr, &saved), nullptr);
}

TEST(ParseRmc, ReadsEveryFieldOfAValidSentence) {
    bool ok;
    GpsFix f = Parse(Rmc("GPRMC,081836.00,A,3723.24750,N,12658.69200,E,32.4,45.5,120624,,,A"), &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(f.nHour, 17);  // 08 + 9
    EXPECT_EQ(f.nMinute, 18);
    EXPECT_EQ(f.nSecond, 36);
    EXPECT_EQ(f.nDay, 12);
    EXPECT_EQ(f.nMonth, 6);
    EXPECT_EQ(f.nYear, 24);
    EXPECT_EQ(f.bValid, 1);
    EXPECT_DOUBLE_EQ(f.dLatitude, 3723.2475);
    EXPECT_DOUBLE_EQ(f.dLongitude, 12658.692);
    EXPECT_EQ(f.dSpeedKmh, double(float(32.4 * 1.852)));  // rounded to single precision
    EXPECT_NE(f.dSpeedKmh, 32.4 * 1.852);
    EXPECT_EQ(f.dCourse, double(45.5f));
    EXPECT_EQ(FixTimeText(f), "2024-06-12 17:18:36");
}

TEST(ParseRmc, NegatesUnlessNorthAndEastIncludingEmptyHemispheres) {
    GpsFix f = Parse("$GPRMC,000000,A,3352.128,S,15112.558,W,0,0,010124");
    EXPECT_DOUBLE_EQ(f.dLatitude, -3352.128);
    EXPECT_DOUBLE_EQ(f.dLongitude, -15112.558);
    f = Parse("$GPRMC,000000,A,3352.128,,15112.558,,0,0,010124");
    EXPECT_DOUBLE_EQ(f.dLatitude, -3352.128);
    EXPECT_DOUBLE_EQ(f.dLongitude, -15112.558);
    f = Parse("$GPRMC,000000,A,3352.128,n,15112.558,e,0,0,010124");  // only 'N' and 'E' count
    EXPECT_LT(f.dLatitude, 0);
    EXPECT_LT(f.dLongitude, 0);
}

TEST(ParseRmc, ReadsTimeAndDateAsPairsAtFixedOffsets) {
    // A short time field: the later pairs read the comma and what follows.
    GpsFix f = Parse("$GPRMC,12345,A,1,N,2,E,3,4,010203");
    EXPECT_EQ(f.nHour, 21);
    EXPECT_EQ(f.nMinute, 34);
    EXPECT_EQ(f.nSecond, 5);
    f = Parse("$GPRMC,12,A,4807,N,1,E,3,4,0102");
    EXPECT_EQ(f.nMinute, 0);  // ",A"
    EXPECT_EQ(f.nSecond, 0);  // ",4"
    EXPECT_EQ(f.nYear, 0);    // end of the text
    f = Parse("$GPRMC,1,A,48,N,1,E,3,4,7");
    EXPECT_EQ(f.nHour, 10);
    EXPECT_EQ(f.nSecond, 48);  // offset 4 reaches into the latitude
    // atoi on each pair: white space and a sign, the number ending at a non-digit.
    f = Parse("$GPRMC, 7-31x,A,1,N,1,E,0,0, 1-2+3");
    EXPECT_EQ(f.nHour, 16);
    EXPECT_EQ(f.nMinute, -3);
    EXPECT_EQ(f.nSecond, 1);
    EXPECT_EQ(f.nDay, 1);
    EXPECT_EQ(f.nMonth, -2);
    EXPECT_EQ(f.nYear, 3);
}

TEST(ParseRmc, TwelveEmptyFieldsParseButStoppingAfterTheStatusFails) {
    bool ok;
    GpsFix f = Parse("$GPRMC,,V,,,,,,,,,", &ok);  // twelve fields
    EXPECT_TRUE(ok);
    EXPECT_EQ(f.bValid, 0);
    EXPECT_EQ(f.nHour, 9);
    EXPECT_EQ(f.nMinute, 0);
    EXPECT_EQ(f.nSecond, 0);
    EXPECT_EQ(f.dLatitude, 0);

    f = Parse("$GPRMC,183000.00,A", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(f.bValid, 1);  // what was read before the missing field stays
    EXPECT_EQ(f.nHour, 27);
    // Nine fields (no date) fail; ten succeed; anything after the date is ignored.
    Parse("$GPRMC,1,A,1,N,1,E,1,1", &ok);
    EXPECT_FALSE(ok);
    Parse("$GPRMC,1,A,1,N,1,E,1,1,", &ok);
    EXPECT_TRUE(ok);
    Parse("", &ok);
    EXPECT_FALSE(ok);
}

TEST(ParseRmc, ReadsOnlyTheGivenLength) {
    std::string s = "$GPRMC,081836,A,3723.2475,N,12658.692,E,10,0,120624,,,A";
    GpsFix f;
    EXPECT_FALSE(ParseRmc(s.data(), s.find(",120624"), f));  // cut before the date
    EXPECT_TRUE(ParseRmc(s.data(), s.size(), f));
    // Stops at a NUL inside the length, like a string copy.
    std::string withNul = s;
    withNul[20] = 0;
    EXPECT_FALSE(ParseRmc(withNul.data(), withNul.size(), f));
    EXPECT_FALSE(IsRmcValid(s.data(), 14));  // "$GPRMC,081836," : the status is the 15th byte
    EXPECT_TRUE(IsRmcValid(s.data(), 15));
}

TEST(IsRmcValid, LooksAtTheStatusField) {
    auto valid = [](const std::string& s) { return IsRmcValid(s.data(), s.size()); };
    EXPECT_TRUE(valid("$GPRMC,1,A"));
    EXPECT_TRUE(valid("$GPRMC,,A,,,"));
    EXPECT_FALSE(valid("$GPRMC,1,V,1,N"));
    EXPECT_FALSE(valid("$GPRMC,1,,A"));  // the status is empty; the next field does not count
    EXPECT_FALSE(valid("$GPRMC,1"));
    EXPECT_TRUE(valid(",,,$GPRMC,1,A"));  // leading commas skipped on the first field only
}

TEST(NmeaToDecimal, DegreesPlusMinutesOverSixty) {
    EXPECT_EQ(NmeaToDecimal("3723.24750"), "37.387458");
    EXPECT_EQ(NmeaToDecimal("-523.12340"), "5.385390");
    EXPECT_EQ(NmeaToDecimal("12658.69200"), "126.978200");
    EXPECT_EQ(NmeaToDecimal("0000.00000"), "0.000000");
    EXPECT_EQ(MapText("-523.12340"), "-5.385390");
    EXPECT_EQ(MapText("-3352.12800"), "-33.868800");
    EXPECT_EQ(MapText("-15112.55800"), "-151.209300");
    EXPECT_EQ(MapText("-000.00000"), "0.000000");  // -0 is not below 0
    EXPECT_EQ(MapText("-000.50000"), "-0.008333");
    // Texts not of the expected form stay harmless.
    EXPECT_EQ(NmeaToDecimal(""), "0.000000");
    EXPECT_EQ(NmeaToDecimal("."), "0.000000");
    EXPECT_EQ(NmeaToDecimal("7"), "0.116667");         // no '.': read as "7."
    EXPECT_EQ(NmeaToDecimal("x1y23.5"), "10.391667");  // non-digits count as 0
    EXPECT_EQ(NmeaToDecimal("12.34.56"), "0.205667");  // the first '.' counts
    EXPECT_EQ(NmeaToDecimal(std::string(1000, '9') + ".0"), "inf");
}

TEST(ReadNumber, IsAtofOnDecimalNumbersOnly) {
    EXPECT_EQ(ReadNumber("  -12.5xyz"), -12.5);
    EXPECT_EQ(ReadNumber("+.5"), 0.5);
    EXPECT_EQ(ReadNumber("5."), 5);
    EXPECT_EQ(ReadNumber("1e3,"), 1000);
    EXPECT_EQ(ReadNumber("2e"), 2);
    EXPECT_EQ(ReadNumber("2e+"), 2);
    EXPECT_EQ(ReadNumber(""), 0);
    EXPECT_EQ(ReadNumber("-"), 0);
    EXPECT_EQ(ReadNumber("."), 0);
    EXPECT_EQ(ReadNumber(nullptr), 0);
    // Never an infinity or NaN.
    EXPECT_EQ(ReadNumber("inf"), 0);
    EXPECT_EQ(ReadNumber("nan"), 0);
    EXPECT_EQ(ReadNumber("0x1p4"), 0);
    EXPECT_EQ(ReadNumber("1e999"), 0);
    EXPECT_EQ(ReadNumber("-1e999"), 0);
    EXPECT_EQ(ReadNumber("1e308"), 1e308);
}

TEST(FixTime, CarriesTheNineHoursIntoTheCalendar) {
    auto shown = [](const char* time, const char* date) {
        return FixTimeText(Parse(std::string("$GPRMC,") + time + ",A,1,N,1,E,0,0," + date + ",,,A"));
    };
    EXPECT_EQ(shown("183000.00", "311223"), "2024-01-01 03:30:00");  // year end
    EXPECT_EQ(shown("145959", "311223"), "2023-12-31 23:59:59");     // no carry needed
    EXPECT_EQ(shown("150000", "311223"), "2024-01-01 00:00:00");
    EXPECT_EQ(shown("200000", "300424"), "2024-05-01 05:00:00");  // 30-day month
    EXPECT_EQ(shown("200000", "300524"), "2024-05-31 05:00:00");
    EXPECT_EQ(shown("150000", "280224"), "2024-02-29 00:00:00");  // leap year
    EXPECT_EQ(shown("235959", "290224"), "2024-03-01 08:59:59");
    EXPECT_EQ(shown("160000", "280223"), "2023-03-01 01:00:00");  // common year
    EXPECT_EQ(shown("160000", "280200"), "2000-02-29 01:00:00");  // 2000: divisible by 400
    EXPECT_EQ(shown("160000", "311299"), "2100-01-01 01:00:00");
    // Malformed dates are shown as they are, without a carry.
    EXPECT_EQ(shown("150000", "290223"), "2023-02-29 24:00:00");
    EXPECT_EQ(shown("180000", "051324"), "2024-13-05 27:00:00");
    EXPECT_EQ(shown("180000", "050024"), "2024-00-05 27:00:00");
    EXPECT_EQ(shown("180000", "000124"), "2024-01-00 27:00:00");
    EXPECT_EQ(shown("180000", ""), "2000-00-00 27:00:00");
    EXPECT_EQ(shown("240000", "311223"), "2023-12-31 33:00:00");  // no such UTC hour
    EXPECT_EQ(shown("183000", "-11223"), "2023-12--1 27:30:00");
    GpsFix f = Parse("$GPRMC,183000,A,1,N,1,E,0,0,311223,,,A");
    EXPECT_EQ(f.nHour, 27);  // the fix itself keeps the hour plus 9
    EXPECT_TRUE(HasCalendarDate(f));
}

// Sentences as receivers write them: talkers, NMEA 2.3 / 4.1 trailing fields,
// checksums, fractional seconds, 3 to 5 decimals of minutes, void fixes.
TEST(RealReceivers, EveryCommonFormReadsAlike) {
    struct Case {
        std::string sentence;
        int valid;
        const char* time;
        double lat, lng, kmh;
    } cases[] = {
        // NMEA 2.3, two-digit fraction, four decimals, mode field.
        {Rmc("GPRMC,021507.50,A,3733.9412,N,12659.2144,E,17.3,88.1,030724,,,A"), 1, "2024-07-03 11:15:07", 3733.9412,
         12659.2144, 17.3 * 1.852},
        // NMEA 4.1 multi-constellation: mode and navigation status, empty course.
        {Rmc("GNRMC,152210.000,A,3351.72318,S,15112.44108,E,0.012,,281024,,,A,V"), 1, "2024-10-29 00:22:10",
         -3351.72318, 15112.44108, 0.012 * 1.852},
        // GLONASS, no fraction, three decimals, NMEA 2.0 without the mode field.
        {Rmc("GLRMC,094500,A,5130.441,N,00007.656,W,5.5,301.0,150324,,"), 1, "2024-03-15 18:45:00", 5130.441, -7.656,
         5.5 * 1.852},
        // Galileo, five decimals, magnetic variation filled.
        {Rmc("GARMC,120001.25,A,4048.17112,N,07359.37225,W,30.25,12.5,010224,13.2,W,D"), 1, "2024-02-01 21:00:01",
         4048.17112, -7359.37225, 30.25 * 1.852},
        // BeiDou, empty speed.
        {Rmc("BDRMC,033015.000,A,2332.97820,S,04638.11520,W,,,250824,,,A,V"), 1, "2024-08-25 12:30:15", -2332.9782,
         -4638.1152, 0},
        // Void fix: every position field empty, time and date known.
        {Rmc("GNRMC,223344.00,V,,,,,,,020124,,,N,V"), 0, "2024-01-03 07:33:44", -0.0, -0.0, 0},
        // Void fix before the receiver knows the time.
        {Rmc("GPRMC,,V,,,,,,,,,,N"), 0, "2000-00-00 09:00:00", -0.0, -0.0, 0},
        // Checksum straight after the date (no magnetic variation fields).
        {Rmc("GPRMC,060000,A,3723.2475,N,12658.6920,E,1.0,0.0,120624"), 1, "2024-06-12 15:00:00", 3723.2475, 12658.692,
         1.852},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sentence);
        bool ok;
        GpsFix f = Parse(c.sentence, &ok);
        EXPECT_TRUE(ok);
        EXPECT_EQ(f.bValid, c.valid);
        EXPECT_EQ(IsRmcValid(c.sentence.data(), c.sentence.size()), c.valid == 1);
        EXPECT_EQ(FixTimeText(f), c.time);
        EXPECT_DOUBLE_EQ(f.dLatitude, c.lat);
        EXPECT_DOUBLE_EQ(f.dLongitude, c.lng);
        EXPECT_EQ(f.dSpeedKmh, double(float(c.kmh)));
    }
}
