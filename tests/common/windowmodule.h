#pragma once
// The program's window module run in this process, as the program runs it,
// for the tests and benchmarks that watch the window from inside.
#include "moduleentry.h"

#include <QLibrary>

#include <cstdio>

// Runs the window with the arguments the program would pass; its exit status.
inline int runWindowModule(const QString& path, int* argc, char** argv)
{
    QLibrary module(path);
    if (!module.load()) {
        std::fprintf(stderr, "%s\n", qPrintable(module.errorString()));
        return 1;
    }
    const auto entry = reinterpret_cast<moduleentry::Window>(module.resolve(moduleentry::windowSymbol));
    return entry ? entry(argc, argv) : 1;
}
