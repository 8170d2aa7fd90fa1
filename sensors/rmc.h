// Reading the recorder's GPS sentences (NMEA 0183 RMC, one per second) and
// the texts made from them: the field splitter, the sentence parser, the
// decimal-degree conversion for the map and the shown date and time.
//
// A sentence is read field by field at fixed positions:
//   0 name (any talker: GP, GN, GL, GA, BD ...; not examined)
//   1 time hhmmss[.ss]   2 status (A = valid)   3 latitude ddmm.mmmm   4 N/S
//   5 longitude dddmm.mmmm   6 E/W   7 speed in knots   8 course   9 date ddmmyy
// Fields after the date (magnetic variation, the NMEA 2.3 mode, the 4.1
// navigation status, the checksum "*hh") are ignored, so every common form of
// the sentence reads alike.
//
// Numbers are read as the C library's atof reads a decimal number (leading
// white space, sign, digits, point, digits, exponent), independent of the
// locale. Two deliberate limits: the words "inf"/"nan" and hexadecimal forms
// are not numbers here (they read as 0), and a number too large for a double
// reads as 0, so no infinity or NaN ever enters a fix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sensors {

// Field splitter over a caller-owned, NUL-terminated buffer, like strtok_r with
// the separator ',': the first call (text given) skips leading commas, cuts the
// token at the next comma (writing a NUL there) and saves the position after
// it; later calls (text null) start exactly at the saved position without
// skipping, so two adjacent commas give an empty token. When no comma follows,
// the rest is the token and the saved position is cleared; a call with the
// position cleared returns null. A first call on a text that is empty after
// its leading commas returns null.
char* NextToken(char* text, char** saved);

// The C library's atof on a decimal number (see above); 0 when the text does
// not begin with one.
double ReadNumber(const char* text);

// One parsed sentence.
struct GpsFix {
    int32_t nYear = 0;      // two-digit year (shown as 20YY)
    int32_t nMonth = 0;     // from the date field
    int32_t nDay = 0;       //
    int32_t nHour = 0;      // hour of the time field plus 9 (the camera's clock)
    int32_t nMinute = 0;    //
    int32_t nSecond = 0;    //
    int32_t bValid = 0;     // 1 when the status field begins with 'A'
    double dLatitude = 0;   // ddmm.mmmm as a number, negative unless 'N'
    double dLongitude = 0;  // dddmm.mmmm as a number, negative unless 'E'
    double dSpeedKmh = 0;   // knots x 1.852, rounded to single precision
    double dCourse = 0;     // rounded to single precision (not shown)
};

// Parses up to `length` bytes of text (stopping early at a NUL; at most 1023
// bytes are looked at). Takes fields 0 to 9; returns false when the sentence
// ends before field 9, with the fields read so far left in `fix` (the caller
// clears it first). The time and date fields are read as three pairs of
// characters at offsets 0, 2 and 4 of the field, each converted like atoi
// whatever the field's length (a short field's later pairs read the comma and
// what follows: a time field "12345" gives second 5). An N/S or E/W field not
// beginning with 'N' / 'E' (an empty one too) negates the value.
bool ParseRmc(const char* text, size_t length, GpsFix& fix);

// Whether field 2 (status) of the sentence begins with 'A'; false for a
// sentence of fewer than three fields.
bool IsRmcValid(const char* text, size_t length);

// "3723.24750" (a "%010.5f" latitude or "%011.5f" longitude, ddmm.mmmmm) to
// decimal degrees with six decimals: "37.387458". The two digits before the
// '.' are the minutes; the characters before them are the degrees, read digit
// by digit (anything that is not a digit, such as a minus sign, counts as 0).
// The result carries no sign: the caller puts "-" in front for a negative
// value. A text without a '.' is read as if it ended with one.
std::string NmeaToDecimal(const std::string& text);

// The map text of a "%010.5f"/"%011.5f" coordinate: NmeaToDecimal, with a
// minus sign in front when the coordinate's value is below 0.
std::string MapText(const std::string& coordinate);

// The shown date and time of a fix.
//
// The sentence's time is UTC; the camera shows it 9 hours later (nHour is
// already hour + 9). When the fix holds a real calendar date (month 1-12, day
// 1 to the month's length in the year 20YY, leap years by the Gregorian rule)
// and its UTC hour is 15 to 23, the hour runs past midnight and is carried
// into the next day, month and year: 18:30 UTC on 31 Dec 2023 shows
// "2024-01-01 03:30:00". Otherwise (a malformed date such as month 0 or 13 or
// day 0, or a UTC hour outside 0-23) nothing is carried and the fields are
// shown as they are, so "2024-13-05 27:00:00" can appear: no date is invented.
// Format "20YY-MM-DD hh:mm:ss" ("2100-01-01" when 31 Dec 2099 carries).
std::string FixTimeText(const GpsFix& fix);

// Whether the fix's date fields form a real calendar date (see above).
bool HasCalendarDate(const GpsFix& fix);

}  // namespace sensors
