#include "CliSession.h"

#include "store/ObjectStore.h"

#include <QDir>

namespace {

PdSettings::Platform settingsPlatform(LoginItem *loginItem)
{
    PdSettings::Platform platform;
    platform.loginItem = loginItem;
    return platform;
}

} // namespace

CliSession::CliSession()
    : m_store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Pendulo"),
              QStringLiteral("Pendulo"))
    , m_settings(&m_store, settingsPlatform(&m_loginItem))
    , m_exportFormats(m_settings)
    , m_storeController(m_settings, m_clock, m_errorPresenter)
{
    m_settings.registerDefaultsResource();
}

ObjectStore *CliSession::store(QString *error)
{
    ObjectStore *opened = m_storeController.store();
    if (!opened && error) {
        const PdError &reason = m_errorPresenter.lastError;
        *error = QStringLiteral("cannot open the store %1: %2")
                     .arg(QDir::toNativeSeparators(StoreController::storeFilePath()),
                          reason ? reason.description : QStringLiteral("unknown error"));
    }
    return opened;
}

Context *CliSession::mainContext(QString *error)
{
    ObjectStore *opened = store(error);
    return opened ? &opened->mainContext() : nullptr;
}
