#pragma once

#include <QString>

// The values the main window holds for everybody else: the viewers and the import jobs read them
// when they build a request.
class CurrentChoices {
public:
    virtual ~CurrentChoices() = default;
    virtual QString currentShard() const = 0;      // the selected shard; empty when none is selected
    virtual QString driverList() const = 0;        // names separated by commas, exactly as typed
    virtual QString serviceBase() const = 0;       // scheme and host of the statistics service
};
