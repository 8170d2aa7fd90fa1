// The printed report: the time stamp that names its files and the HTML text
// written row by row. Plain C++: the texts are 8-bit (the platform's ANSI code
// page), converted by the caller.
#pragma once
#include <string>
#include <vector>

namespace report {

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// "YYYYMMDD_hhmmssmmm", e.g. 20240131_235959007.
std::string Stamp(const LocalTime& t);

// A folder as the files are named from it: a backslash is appended when the
// folder is longer than three characters (a drive root such as C:\ has one)
// and does not end in one already.
std::wstring WithTrailingBackslash(std::wstring folder);

struct Values {
    bool twoChannels = false;
    std::string fileName;  // the current row's file name
    std::string pathA;     // full path of channel 1's bitmap
    std::string pathB;     // full path of channel 2's bitmap (two channels only)
    double speed = 0, lat = 0, lng = 0;
};

// The speed as the report prints it: truncated towards zero; 0 for a value
// that is not a number, clamped to the range of a 32-bit integer.
int SpeedAsInteger(double speed);

// The report's rows in the order they are written, each formatted, with "\n"
// line feeds as the template gives them.
std::vector<std::string> Rows(const Values& v);

// A row as it is written to the file: each line feed as CR LF.
std::string ToFileBytes(const std::string& row);

// The whole file: every row in file form.
std::string FileText(const Values& v);

}  // namespace report
