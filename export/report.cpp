#include "report.h"
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>

namespace report {

namespace {
std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n) + 1);
        std::vsnprintf(&out[0], out.size(), fmt, args);
        out.resize(static_cast<size_t>(n));
    }
    va_end(args);
    return out;
}
}  // namespace

std::string Stamp(const LocalTime& t) {
    return Format("%04d%02d%02d_%02d%02d%02d%03d", t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
}

std::wstring WithTrailingBackslash(std::wstring folder) {
    if (folder.size() > 3 && folder.back() != L'\\') folder += L'\\';
    return folder;
}

int SpeedAsInteger(double speed) {
    if (std::isnan(speed)) return 0;
    if (speed >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (speed <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(speed);
}

std::vector<std::string> Rows(const Values& v) {
    std::vector<std::string> rows;
    rows.reserve(43);
    rows.emplace_back("<body style=\"margin: 0px 0px 0px 0px\">\n");
    rows.emplace_back(
        Format("<table style=\"width: 850px; height: %s; word-break:break-all;border:1px solid #000\" "
               "border=\"0\" cellpadding=\"0\" cellspacing=\"0\" align=\"center\">\n",
               v.twoChannels ? "1110px" : "630px"));
    rows.emplace_back("<tr><td style=\"font-size:14px;color:#000000\" align=\"center\" height=\"40\">\n");
    rows.emplace_back("<b>ORVEN VIEWER REPORT &nbsp;\n");
    rows.emplace_back("</td></tr>\n");
    rows.emplace_back("<tr valign=\"top\">\n");
    rows.emplace_back("<tr><td>\n");
    rows.emplace_back(Format("&nbsp;&nbsp;&nbsp;File name : %s \n", v.fileName.c_str()));
    rows.emplace_back("</td></tr>\n");
    rows.emplace_back("<tr><td>\n");
    rows.emplace_back("</td></tr>\n");
    rows.emplace_back("<tr><td>\n");
    rows.emplace_back("</td></tr>\n");
    rows.emplace_back("<tr><td>\n");
    rows.emplace_back(Format("&nbsp;&nbsp;&nbsp;GPS speed :  %d mile/s, Lat : %lf, Lng : %lf \n",
                             SpeedAsInteger(v.speed), v.lat, v.lng));
    rows.emplace_back("</td></tr>\n");
    rows.emplace_back("</tr>\n");
    rows.emplace_back("<tr valign=\"top\">\n");
    rows.emplace_back("<td align=\"center\">\n");
    rows.emplace_back(
        "<table border=\"0\" align=\"center\" cellpadding=\"3\" cellspacing=\"3\" style=\"padding:1px; border:1px "
        "solid #000\">\n");
    const char* const image =
        "<td align=\"center\" colspan=\"2\"><img src=\"%s\" style=\"width: 800px\" style=\"height: 480px\"></td>\n";
    rows.emplace_back("<tr><td>\n");
    rows.emplace_back("ch.1\n");
    rows.emplace_back("</td></tr>\n");
    rows.emplace_back("<tr>\n");
    rows.emplace_back(Format(image, v.pathA.c_str()));
    rows.emplace_back("</tr>\n");
    if (v.twoChannels) {
        rows.emplace_back("<tr><td>\n");
        rows.emplace_back("ch.2\n");
        rows.emplace_back("</td></tr>\n");
        rows.emplace_back("<tr>\n");
        rows.emplace_back(Format(image, v.pathB.c_str()));
        rows.emplace_back("</tr>\n");
    }
    rows.emplace_back("<tr>\n");
    rows.emplace_back("</tr>\n");
    rows.emplace_back("</table>\n");
    rows.emplace_back("</td>\n");
    rows.emplace_back("</tr>\n");
    rows.emplace_back("<tr>\n");
    rows.emplace_back("<td>\n");
    rows.emplace_back("&nbsp;");
    rows.emplace_back("</td>\n");
    rows.emplace_back("</tr>\n");
    rows.emplace_back("</table>\n");
    return rows;
}

std::string ToFileBytes(const std::string& row) {
    std::string out;
    out.reserve(row.size() + 4);
    for (char c : row) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string FileText(const Values& v) {
    std::string text;
    for (const auto& row : Rows(v)) text += ToFileBytes(row);
    return text;
}

}  // namespace report
