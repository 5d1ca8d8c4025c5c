#pragma once
#include <QString>

// Maps the font name "宋体" used by the forms and the caption to an installed
// Song (Ming) face: Noto Serif CJK SC, else AR PL UMing CN. Call once at start,
// after the application object exists. Returns the family chosen, or an empty
// text when neither is installed (the substitution is then left alone).
QString installSongFontSubstitution();
