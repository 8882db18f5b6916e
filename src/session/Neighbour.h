#pragma once
// A page's neighbour, reached through the interface it implements. A missing one is
// a wiring fault of the program: it stops at start-up with a message naming both
// sides, never does nothing silently.
#include <QtGlobal>

template <class T>
T &neighbour(T *p, const char *page, const char *what)
{
    if (!p)
        qFatal("%s is not connected to the %s", page, what);
    return *p;
}
