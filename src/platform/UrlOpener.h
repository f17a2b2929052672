#pragma once

#include <QUrl>

// Opens a web address in the user's browser.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;

    // False when no application could be started for the address.
    virtual bool openUrl(const QUrl &url) = 0;
};
