#pragma once
#include "result.h"

#include <QFunctionPointer>
#include <QString>
#include <QStringList>

// Finding and loading the program's modules: next to the program (the build
// folder) or in the installed module folder relative to it.
namespace modules {

// The folders searched, in order, for a program in programDirectory.
QStringList searchFolders(const QString& programDirectory);

// A function found in a module.
struct Function {
    QFunctionPointer address;
};

// The function `symbol` of module `name` (a file name such as
// "photostation-roster.so"); the module stays loaded until exit. The failure
// names the module and the folders searched.
Result<Function> resolve(const QString& programDirectory, const QString& name, const char* symbol);

}  // namespace modules
