#pragma once

namespace fonts {
// The form's faces "宋体" and "楷体_GB2312" are mapped to installed CJK faces;
// fontconfig alone would give a sans face.
void installSubstitutions();
}  // namespace fonts
