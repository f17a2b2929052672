#pragma once

#include "UrlOpener.h"

#include <QList>

// Records the addresses instead of opening a browser.
class FakeUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override
    {
        opened.append(url);
        return succeeds;
    }

    QList<QUrl> opened;
    bool succeeds = true;
};
