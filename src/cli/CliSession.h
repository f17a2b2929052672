#pragma once

#include "ExportFormatSettings.h"
#include "PdSettings.h"
#include "SystemClock.h"
#include "linux/XdgAutostartLoginItem.h"
#include "storage/ErrorPresenter.h"
#include "storage/StoreController.h"

#include <QSettings>

class Context;
class ObjectStore;

// What a command works with: the user's settings file, the settings object over it and the user's
// store, opened on first use through the store controller (folder checks, earlier-layout move and
// migrations apply as in the desktop program).
class CliSession
{
public:
    CliSession();
    CliSession(const CliSession &) = delete;
    CliSession &operator=(const CliSession &) = delete;

    PdSettings &settings() { return m_settings; }
    ExportFormatSettings &exportFormats() { return m_exportFormats; }
    Clock &clock() { return m_clock; }

    // The store, or null with a one-line reason in `error`.
    ObjectStore *store(QString *error);
    Context *mainContext(QString *error);

private:
    // Keeps the store controller's errors for the one-line message.
    class RecordingErrorPresenter final : public ErrorPresenter
    {
    public:
        bool presentError(const PdError &error) override
        {
            lastError = error;
            return false;
        }
        PdError lastError;
    };

    SystemClock m_clock;
    XdgAutostartLoginItem m_loginItem;
    // $XDG_CONFIG_HOME/Pendulo/Pendulo.conf, as the desktop program keeps it.
    QSettings m_store;
    PdSettings m_settings;
    ExportFormatSettings m_exportFormats;
    RecordingErrorPresenter m_errorPresenter;
    StoreController m_storeController;
};
