#pragma once
// Units are found by their object names, as an operator's script would name them.
#include <QByteArray>
#include <QString>
#include <QWidget>
#include <QtGlobal>

template <class T> T* findUnit(const QWidget* root, const char* name)
{
    T* found = root->findChild<T*>(QString::fromUtf8(name));
    if (!found)
        qFatal("no unit %s of the expected kind", name);
    return found;
}
