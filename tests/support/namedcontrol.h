#pragma once

#include <QObject>
#include <gtest/gtest.h>

// A window's control found by its object name, as a user's tools find it; a missing one fails
// the test (and the null that comes back ends it).
template <typename T>
T* namedControl(const QObject& window, const char* name)
{
    T* found = window.findChild<T*>(QLatin1String(name));
    if (!found)
        ADD_FAILURE() << "no " << T::staticMetaObject.className() << " named " << name << " in "
                      << window.objectName().toStdString();
    return found;
}
