#pragma once

#include <QObject>
#include <gtest/gtest.h>

// A window's control, action or part by its objectName; the test fails naming it when there is
// none.
template <typename T = QWidget>
T* named(const QObject& owner, const char* name)
{
    T* found = owner.findChild<T*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << "no " << name << " in " << qPrintable(owner.objectName());
    return found;
}
