#pragma once
#include <QString>

// Numeric boxes take the leading decimal integer of their text after mapping
// full-width characters (digits, signs, spaces) to their half-width forms.
namespace text {

QString toHalfWidth(const QString& s);
// Leading optional sign and digits; text without one gives 0. Saturates at the int range.
int toInt(const QString& s);
// The same, cut to the low 8 bits.
quint8 toByte(const QString& s);

}  // namespace text
