#pragma once

#include "common/currentchoices.h"

// The main window's values as a test sets them.
class FakeShell : public CurrentChoices {
public:
    QString shard = QStringLiteral("APEX");
    QString drivers = QStringLiteral("kestrel,pilot000");
    QString base = QStringLiteral("http://127.0.0.1:9"); // nothing listens there

    QString currentShard() const override { return shard; }
    QString driverList() const override { return drivers; }
    QString serviceBase() const override { return base; }
};
