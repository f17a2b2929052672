#pragma once

#include "PdError.h"

// Shows store and migration errors to the user (a message box in the widget layer).
class ErrorPresenter
{
public:
    virtual ~ErrorPresenter() = default;

    // Presents the error. Returns true when the presentation dealt with it (the user recovered), so the
    // caller does not go on as after a plain failure.
    virtual bool presentError(const PdError &error) = 0;
};
