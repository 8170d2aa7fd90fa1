// The printed report's file bytes against the template, the stamp and the
// folder rule.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "chooser_layout.h"
#include "report.h"

namespace {

// The template with LF line ends, as a reader of the report sees it.
std::string Expected(bool two, const std::string& name, const std::string& gps, const std::string& a,
                     const std::string& b) {
    std::string s =
        "<body style=\"margin: 0px 0px 0px 0px\">\n"
        "<table style=\"width: 850px; height: " +
        std::string(two ? "1110px" : "630px") +
        "; word-break:break-all;border:1px solid #000\" border=\"0\" cellpadding=\"0\" cellspacing=\"0\" "
        "align=\"center\">\n"
        "<tr><td style=\"font-size:14px;color:#000000\" align=\"center\" height=\"40\">\n"
        "<b>ORVEN VIEWER REPORT &nbsp;\n"
        "</td></tr>\n"
        "<tr valign=\"top\">\n"
        "<tr><td>\n"
        "&nbsp;&nbsp;&nbsp;File name : " +
        name +
        " \n"
        "</td></tr>\n"
        "<tr><td>\n"
        "</td></tr>\n"
        "<tr><td>\n"
        "</td></tr>\n"
        "<tr><td>\n"
        "&nbsp;&nbsp;&nbsp;GPS speed :  " +
        gps +
        " \n"
        "</td></tr>\n"
        "</tr>\n"
        "<tr valign=\"top\">\n"
        "<td align=\"center\">\n"
        "<table border=\"0\" align=\"center\" cellpadding=\"3\" cellspacing=\"3\" style=\"padding:1px; border:1px "
        "solid #000\">\n"
        "<tr><td>\n"
        "ch.1\n"
        "</td></tr>\n"
        "<tr>\n"
        "<td align=\"center\" colspan=\"2\"><img src=\"" +
        a +
        "\" style=\"width: 800px\" style=\"height: 480px\"></td>\n"
        "</tr>\n";
    if (two)
        s += "<tr><td>\n"
             "ch.2\n"
             "</td></tr>\n"
             "<tr>\n"
             "<td align=\"center\" colspan=\"2\"><img src=\"" +
             b +
             "\" style=\"width: 800px\" style=\"height: 480px\"></td>\n"
             "</tr>\n";
    s += "<tr>\n"
         "</tr>\n"
         "</table>\n"
         "</td>\n"
         "</tr>\n"
         "<tr>\n"
         "<td>\n"
         "&nbsp;</td>\n"
         "</tr>\n"
         "</table>\n";
    return s;
}

std::string CrLf(const std::string& lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') out += "\r\n";
        else out += c;
    }
    return out;
}

report::Values Sample(bool two) {
    report::Values v;
    v.twoChannels = two;
    v.fileName = "R_240612_081306_N2.avi";
    v.pathA = "C:\\Reports\\20240612_081530123_A.bmp";
    v.pathB = "C:\\Reports\\20240612_081530123_B.bmp";
    v.speed = 57.9;
    v.lat = 37.566535;
    v.lng = 126.9779692;
    return v;
}

}  // namespace

TEST(Report, TwoChannelFileIsTheTemplateWithCrLf) {
    const std::string gps = "57 mile/s, Lat : 37.566535, Lng : 126.977969";
    const auto v = Sample(true);
    EXPECT_EQ(report::FileText(v), CrLf(Expected(true, v.fileName, gps, v.pathA, v.pathB)));
    // One write per template row: 43 rows with the channel 2 block.
    EXPECT_EQ(report::Rows(v).size(), 43u);
}

TEST(Report, OneChannelFileHasNoSecondBlockAndTheLowerTable) {
    const std::string gps = "57 mile/s, Lat : 37.566535, Lng : 126.977969";
    const auto v = Sample(false);
    const std::string text = report::FileText(v);
    EXPECT_EQ(text, CrLf(Expected(false, v.fileName, gps, v.pathA, "")));
    EXPECT_EQ(report::Rows(v).size(), 37u);
    EXPECT_EQ(text.find("ch.2"), std::string::npos);
    EXPECT_EQ(text.find("_B.bmp"), std::string::npos);
    EXPECT_NE(text.find("height: 630px;"), std::string::npos);
}

TEST(Report, EveryLineFeedIsWrittenAsCrLfAndNothingElseChanges) {
    const std::string text = report::FileText(Sample(true));
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            ASSERT_GT(i, 0u);
            EXPECT_EQ(text[i - 1], '\r') << "at " << i;
        }
        if (text[i] == '\r') {
            ASSERT_LT(i + 1, text.size());
            EXPECT_EQ(text[i + 1], '\n');
        }
    }
    EXPECT_EQ(report::ToFileBytes("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(report::ToFileBytes("&nbsp;"), "&nbsp;");
}

TEST(Report, GpsRowFormatsIntegerSpeedAndSixDecimals) {
    auto v = Sample(false);
    auto gpsRow = [&v] { return report::Rows(v)[14]; };
    v.speed = 0;
    v.lat = 0;
    v.lng = 0;
    EXPECT_EQ(gpsRow(), "&nbsp;&nbsp;&nbsp;GPS speed :  0 mile/s, Lat : 0.000000, Lng : 0.000000 \n");
    v.speed = 99.999;  // truncated, not rounded
    v.lat = -33.8688197;
    v.lng = 151.2092956;
    EXPECT_EQ(gpsRow(), "&nbsp;&nbsp;&nbsp;GPS speed :  99 mile/s, Lat : -33.868820, Lng : 151.209296 \n");
    v.speed = -0.7;  // towards zero
    EXPECT_EQ(gpsRow().substr(0, 34), "&nbsp;&nbsp;&nbsp;GPS speed :  0 m");
}

TEST(Report, SpeedThatIsNoNumberOrTooLargeStaysAnInteger) {
    EXPECT_EQ(report::SpeedAsInteger(std::nan("")), 0);
    EXPECT_EQ(report::SpeedAsInteger(1e30), std::numeric_limits<int>::max());
    EXPECT_EQ(report::SpeedAsInteger(-1e30), std::numeric_limits<int>::min());
    EXPECT_EQ(report::SpeedAsInteger(std::numeric_limits<double>::infinity()), std::numeric_limits<int>::max());
    EXPECT_EQ(report::SpeedAsInteger(12.99), 12);
}

TEST(Report, NonAsciiBytesOfNamesAndPathsPassUnchanged) {
    auto v = Sample(true);
    // Names in the ANSI code page (here code page 949 bytes of a Korean word)
    // and a Latin-1 folder: the report carries the bytes as they are.
    v.fileName = "R_240612_081306_N2_\xb1\xe2\xb7\xcf.avi";
    v.pathA = "D:\\R\xe9sultats\\x_A.bmp";
    v.pathB = "D:\\R\xe9sultats\\x_B.bmp";
    const std::string text = report::FileText(v);
    EXPECT_NE(text.find("File name : R_240612_081306_N2_\xb1\xe2\xb7\xcf.avi \r\n"), std::string::npos);
    EXPECT_NE(text.find("<img src=\"D:\\R\xe9sultats\\x_A.bmp\""), std::string::npos);
    EXPECT_NE(text.find("<img src=\"D:\\R\xe9sultats\\x_B.bmp\""), std::string::npos);
    // A name holding printf directives is text, not a format.
    v.fileName = "%s%d%n";
    EXPECT_NE(report::FileText(v).find("File name : %s%d%n \r\n"), std::string::npos);
}

TEST(Report, StampHasMillisecondsSoTwoPrintsInOneSecondDiffer) {
    report::LocalTime t{2024, 1, 31, 23, 59, 59, 7};
    EXPECT_EQ(report::Stamp(t), "20240131_235959007");
    report::LocalTime later = t;
    later.millisecond = 512;
    EXPECT_EQ(report::Stamp(later), "20240131_235959512");
    EXPECT_NE(report::Stamp(t), report::Stamp(later));
    EXPECT_EQ(report::Stamp(report::LocalTime{2025, 12, 1, 0, 0, 0, 0}), "20251201_000000000");
}

TEST(Report, FolderGetsOneBackslashAndADriveRootKeepsItsOwn) {
    EXPECT_EQ(report::WithTrailingBackslash(L"C:\\"), L"C:\\");
    EXPECT_EQ(report::WithTrailingBackslash(L"E:\\"), L"E:\\");
    EXPECT_EQ(report::WithTrailingBackslash(L"C:\\Reports"), L"C:\\Reports\\");
    EXPECT_EQ(report::WithTrailingBackslash(L"C:\\a"), L"C:\\a\\");
    // Never doubled, whatever the chooser hands back.
    EXPECT_EQ(report::WithTrailingBackslash(L"\\\\server\\share\\"), L"\\\\server\\share\\");
    // A drive root's files: folder + stamp, without a doubled backslash.
    const std::wstring root = report::WithTrailingBackslash(L"D:\\");
    EXPECT_EQ(root + L"20240131_235959007.html", L"D:\\20240131_235959007.html");
}

TEST(ChooserLayout, PartsAreLaidOutInsideTheClientRectangle) {
    const chooser::Box newFolder{0, 0, 105, 23}, ok{0, 0, 75, 23}, cancel{0, 0, 80, 23};
    const auto l = chooser::Arrange(0, 0, 400, 360, newFolder, ok, cancel);
    EXPECT_EQ(l.container.x, 10);
    EXPECT_EQ(l.container.y, 10);
    EXPECT_EQ(l.container.w, 378);
    EXPECT_EQ(l.container.h, 360 - 23 - 30);
    EXPECT_EQ(l.newFolder.x, 10);
    EXPECT_EQ(l.newFolder.y, 360 - 23 - 10);
    EXPECT_EQ(l.ok.x, 400 - 80 - 75 - 15);
    EXPECT_EQ(l.ok.y, 327);
    EXPECT_EQ(l.cancel.x, 400 - 80 - 10);
    EXPECT_EQ(l.cancel.y, 327);
    // Sizes of the buttons stay.
    EXPECT_EQ(l.ok.w, 75);
    EXPECT_EQ(l.cancel.h, 23);
    // OK and Cancel do not overlap and keep a 5-pixel gap.
    EXPECT_EQ(l.cancel.x - (l.ok.x + l.ok.w), 5);
    // A dialog too small for the container gives it no negative size.
    const auto tiny = chooser::Arrange(5, 5, 20, 30, newFolder, ok, cancel);
    EXPECT_EQ(tiny.container.w, 0);
    EXPECT_EQ(tiny.container.h, 0);
}
