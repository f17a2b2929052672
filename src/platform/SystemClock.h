#pragma once

#include "Clock.h"

// Reads the system's wall clock.
class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
};
