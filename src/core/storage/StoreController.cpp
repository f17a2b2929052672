#include "StoreController.h"

#include "ActivityManager.h"
#include "Clock.h"
#include "ErrorPresenter.h"
#include "PdMigrationManager.h"
#include "PdSettings.h"
#include "QuitConfirmation.h"
#include "StorageErrors.h"
#include "StorageLog.h"
#include "store/ObjectStore.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

StoreController::StoreController(PdSettings &settings, Clock &clock, ErrorPresenter &errorPresenter,
                                 QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_clock(clock)
    , m_errorPresenter(errorPresenter)
    , m_model(StoreModel::current())
{}

StoreController::~StoreController() = default;

QString StoreController::applicationFilesDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Pendulo");
}

QString StoreController::databaseDirectory()
{
    return applicationFilesDirectory() + QStringLiteral("/db");
}

QString StoreController::storeFilePath()
{
    return databaseDirectory() + QLatin1Char('/') + storeFileName;
}

ObjectStore *StoreController::store()
{
    if (!m_openAttempted) {
        m_openAttempted = true;
        m_store = openStore();
    }
    return m_store.get();
}

Context *StoreController::mainContext()
{
    ObjectStore *opened = store();
    if (opened)
        return &opened->mainContext();
    // Said once: the main context is asked for all the time, and the opening failure was shown already.
    if (!m_mainContextFailurePresented) {
        m_mainContextFailurePresented = true;
        present(StorageErrors::storeNotInitialized());
    }
    return nullptr;
}

std::unique_ptr<Context> StoreController::newManagedObjectContext(bool privateQueue)
{
    ObjectStore *opened = store();
    if (!opened) {
        present(StorageErrors::storeNotInitialized());
        return nullptr;
    }
    return opened->newContext(privateQueue);
}

std::unique_ptr<ObjectStore> StoreController::openStore()
{
    if (!m_model.isValid()) {
        qCWarning(lcStorage).noquote()
            << QStringLiteral("%1:%2 No model to generate a store from")
                   .arg(QStringLiteral("StoreController"), QStringLiteral("store"));
        return nullptr;
    }
    if (!prepareDatabaseFolder())
        return nullptr;

    if (m_settings.skipMigrations())
        qCInfo(lcStorage, "Skipping migrations");
    else if (!runMigrations())
        return nullptr;

    PdError error;
    auto opened = ObjectStore::open(storeFilePath(), m_clock, &error);
    if (!opened) {
        present(error);
        qCWarning(lcStorage).noquote()
            << QStringLiteral("Error occurred while adding store coordinator: %1; %2")
                   .arg(storeFilePath(), error.description);
        return nullptr;
    }
    opened->setOrderedByHand(EntityType::Project, m_settings.reportSidebarProjectsOrdered());
    opened->setOrderedByHand(EntityType::Task, m_settings.reportSidebarTasksOrdered());
    return opened;
}

bool StoreController::prepareDatabaseFolder()
{
    const QString dbDir = databaseDirectory();
    const QFileInfo info(dbDir);
    if (!info.exists()) {
        if (!QDir().mkpath(dbDir)) {
            present(StorageErrors::file(StorageErrors::CreateFolderFailed,
                                        QStringLiteral("Could not create the folder %1.").arg(dbDir)));
            return false;
        }
        return true;
    }
    if (!info.isDir()) {
        const PdError error = StorageErrors::folderIsFile(dbDir);
        qCWarning(lcStorage).noquote() << error.description;
        present(error);
        return false;
    }
    return true;
}

bool StoreController::runMigrations()
{
    m_migrating = true;
    PdError error;
    if (!PdMigrationManager::migrateStore(storeFileName, applicationFilesDirectory(), &error)) {
        m_migrating = false;
        present(error);
        return false;
    }

    PdMigrationManager manager(m_model, PdMigrationManager::sqliteStoreType, databaseDirectory(),
                               storeFileName, m_clock);
    manager.migrateToVersion(3, false);
    manager.migrateToVersion(4, true);
    manager.migrateToVersion(5, true);
    m_migrating = false;

    error = manager.error();
    if (error) {
        present(error);
        qCWarning(lcStorage).noquote()
            << QStringLiteral("Error occurred while trying to migrating store: %1; %2")
                   .arg(storeFilePath(), error.description);
        return false;
    }
    return true;
}

void StoreController::present(const PdError &error)
{
    m_lastError = error;
    m_errorPresenter.presentError(error);
}

StoreController::TerminateReply StoreController::applicationShouldTerminate(const QString &activityText)
{
    m_settings.setLastActivityText(activityText);
    if (m_activityManager && m_activityManager->isTracking())
        m_activityManager->stopTrack();

    if (!m_store)
        return TerminateReply::TerminateNow;
    if (m_quitConfirmation && !m_quitConfirmation->commitEditing())
        return TerminateReply::TerminateCancel;

    Context &context = m_store->mainContext();
    if (!context.hasChanges())
        return TerminateReply::TerminateNow;

    PdError error;
    if (context.save(&error))
        return TerminateReply::TerminateNow;

    m_lastError = error;
    if (m_errorPresenter.presentError(error))
        return TerminateReply::TerminateCancel;
    if (!m_quitConfirmation)
        return TerminateReply::TerminateCancel; // nobody to ask: keep the unsaved changes
    const QuitQuestion question{
        QStringLiteral("Could not save changes while quitting.  Quit anyway?"),
        QStringLiteral("Quitting now will lose any changes you have made since the last successful save"),
        QStringLiteral("Quit anyway"), QStringLiteral("Cancel")};
    return m_quitConfirmation->confirmQuit(question) ? TerminateReply::TerminateNow
                                                     : TerminateReply::TerminateCancel;
}
