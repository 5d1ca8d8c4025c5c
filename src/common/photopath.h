#pragma once
#include <QString>

// The one rule that turns a photo folder and a photo name into the photo's
// file: saving, the photographed check and showing a saved photo all use it,
// so they always agree on which file belongs to a name.
//
// The file is folder + "/" + name + ".jpg"; ".jpg" is always appended, even
// when the name already ends in it. The name is made safe, never silently
// dropped:
//  - an empty name, or an empty folder, is refused with a message;
//  - characters that would leave the folder or that no file name may hold on
//    the systems the photos are copied to are replaced by "_": the separators
//    "/" and "\", control characters, and < > : " | ? *;
//  - leading dots become "_", so "..", "." or ".x" can neither climb out of the
//    folder nor make a hidden file;
//  - the device names Windows reserves (CON, PRN, AUX, NUL, COM1-9, LPT1-9, in
//    any letter case) get a leading "_", since "CON.jpg" cannot be created
//    there. Trailing dots and spaces need no rule: ".jpg" always follows them;
//  - a file name longer than the 255 bytes file systems allow is refused.
struct PhotoPath {
    QString path;  // with "/" separators; empty when refused
    QString error;  // why the name was refused

    bool ok() const { return !path.isEmpty(); }
};

namespace photopath {

// The file name for a photo name ("张三" → "张三.jpg"); empty error when ok.
PhotoPath fileName(const QString& name);

// The full path of the photo named name in folder.
PhotoPath filePath(const QString& folder, const QString& name);

// Whether the photo of that name exists in folder: a test of that exact file
// (letter case included where the file system tells case apart), not a
// wildcard search. A refused name has no photo.
bool exists(const QString& folder, const QString& name);

}  // namespace photopath
