#pragma once
// What the benchmarks that drive a real main window share.
#include <QFile>
#include <QTemporaryDir>

namespace windowbench {

// Settings go to the sandbox, so the operator's are never touched, and the
// window is headless unless a platform was chosen. Call it before the
// application object is made; false when there is no temporary folder.
inline bool isolate(const QTemporaryDir& sandbox)
{
    if (!sandbox.isValid())
        return false;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.path() + "/config"));
    return true;
}

}  // namespace windowbench
