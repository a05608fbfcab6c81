#pragma once

#include "platform/SingleInstance.h"

// Another copy "runs" when the test says so; counts the checks.
class FakeSingleInstance final : public SingleInstance
{
public:
    bool anotherCopyRuns() override
    {
        ++checks;
        return otherCopyRunning;
    }
    bool otherCopyRunning = false;
    int checks = 0;
};
