#pragma once
#include "result.h"

class QCoreApplication;

namespace translations {

// Qt's own texts (dialog buttons, file and folder dialogs, the colour dialog,
// the overwrite prompt) in Chinese, like the rest of the program, whatever
// the system's language. Fails, saying which file is missing, when Qt's
// Chinese translation is not installed; the texts then stay English.
Status installChinese(QCoreApplication& app);

}  // namespace translations
