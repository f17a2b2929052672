#pragma once

#include "ActivityDateFormatter.h"

#include <memory>

// One process-wide date formatter per date value code, made on first use with the user's locale and
// time zone of that moment. Every export empties the cache when it ends, so a change of locale or time
// zone applies from the next export on. Safe to use from any thread.
class DateFormatterCache
{
public:
    // The formatter of a date value code (Date codes 110..255); a code outside the table gets one that
    // renders every date as empty text.
    static std::shared_ptr<const ActivityDateFormatter> getFormatterForValue(int value);
    static void clearCache();

    // The formatter a code gets, made afresh.
    static ActivityDateFormatter makeFormatter(int value);
};
