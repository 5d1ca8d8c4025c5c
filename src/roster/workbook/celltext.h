#pragma once
#include <QString>

// How a workbook cell's value becomes the text the roster shows: the value's
// default text form, as a spreadsheet would print it without column widths.
namespace workbook {

// What a number format makes of a number.
enum class DateKind { None, Date, Time, DateTime };

// Numbers: integral values below 1e15 as plain digits, others as "%.15G".
QString numberText(double value);

// Date kind of a number format code ("yyyy-mm-dd", "0.00%", "[h]:mm:ss").
DateKind dateKindOfCode(const QString& code);
// Date kind of a built-in format id that the file does not define itself.
DateKind builtinDateKind(int formatId);

// A date serial as text (1900 or 1904 date system); falls back to the
// number's own text when the serial lies outside the calendar.
QString serialText(double serial, DateKind kind, bool date1904);

// "_x000D_"-style escapes in workbook XML strings decoded.
QString decodeXmlEscapes(const QString& text);

}  // namespace workbook
