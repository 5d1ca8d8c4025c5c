#pragma once
// The functions the program looks up in its modules (shared libraries loaded
// at run time, so that a command-line tool loads only the libraries it uses).

#include <QStringList>
#include <QtGlobal>

class QCoreApplication;

#define STATION_MODULE_ENTRY extern "C" Q_DECL_EXPORT

namespace moduleentry {

// A command-line tool: parses the program's arguments again and runs; returns
// the exit status. A QCoreApplication (or the one the module made) exists.
using Tool = int (*)(const QStringList* arguments);
inline constexpr char toolSymbol[] = "photostation_tool";

// A tool that paints makes its own application (a QGuiApplication).
using MakeApplication = QCoreApplication* (*)(int* argc, char** argv);
inline constexpr char makeApplicationSymbol[] = "photostation_make_application";

// The window: makes the QApplication and runs until the window closes.
using Window = int (*)(int* argc, char** argv);
inline constexpr char windowSymbol[] = "photostation_window";

}  // namespace moduleentry
