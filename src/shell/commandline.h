#pragma once
#include <QString>
#include <QStringList>

#include <optional>

// Every command-line option of the station is declared here.
namespace commandline {

struct Options {
    QString workbook;  // imported at start, as if dropped
    QString camera;  // a network camera's address or a picture or video file, connected at start
    std::optional<int> exitCode;  // set when the arguments end the program
};

// Answers the options that need no display (--help, --version and the
// printing options) without creating a GUI application. Returns the exit
// code when one of them ran.
std::optional<int> runWithoutDisplay(int argc, char* argv[]);

// The options for a normal start.
Options parse(const QStringList& arguments);

}  // namespace commandline
