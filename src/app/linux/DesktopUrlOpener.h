#pragma once

#include "UrlOpener.h"

// Opens addresses with the desktop's default handler (QDesktopServices).
class DesktopUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override;
};
