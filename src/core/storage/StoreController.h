#pragma once

#include "PdError.h"
#include "storage/StoreModel.h"

#include <QObject>
#include <QString>

#include <memory>

class ActivityManager;
class Clock;
class Context;
class ErrorPresenter;
class ObjectStore;
class PdSettings;
class QuitConfirmation;

// The application's side of the store: where it lives, opening it on first use (folder checks, the
// earlier-layout move and the migrations, then the store itself), the contexts on it and the save on
// quitting. Lives on the main thread.
class StoreController : public QObject
{
    Q_OBJECT

public:
    enum class TerminateReply
    {
        TerminateNow,
        TerminateCancel
    };

    static inline const QString storeFileName = QStringLiteral("storedata");

    StoreController(PdSettings &settings, Clock &clock, ErrorPresenter &errorPresenter,
                    QObject *parent = nullptr);
    ~StoreController() override;

    // "Pendulo" in the user's data folder (XDG_DATA_HOME), its "db" folder and the store file in it.
    static QString applicationFilesDirectory();
    static QString databaseDirectory();
    static QString storeFilePath();

    StoreModel managedObjectModel() const { return m_model; }

    // The store, opened on first use; null when opening failed (the error was presented then).
    ObjectStore *store();
    // The main thread's context, or null without a store (the first such request presents
    // "Failed to initialize the store").
    Context *mainContext();
    // A new context on the store (a private one for work on another thread), or null after presenting
    // "Failed to initialize the store" when there is no store.
    std::unique_ptr<Context> newManagedObjectContext(bool privateQueue);
    // The last error presented.
    PdError lastError() const { return m_lastError; }
    // True while the migrations run during opening; saves of other contexts are not merged meanwhile.
    bool isMigrating() const { return m_migrating; }

    // Quitting stops this manager's running activity.
    void setActivityManager(ActivityManager *manager) { m_activityManager = manager; }
    // Asks the user when changes cannot be saved while quitting. Without one, such a quit is cancelled.
    void setQuitConfirmation(QuitConfirmation *confirmation) { m_quitConfirmation = confirmation; }

    // Whether the application may quit now: keeps the entry field's text, stops the running activity and
    // saves the main context. The caller removes the status item.
    TerminateReply applicationShouldTerminate(const QString &activityText);

private:
    std::unique_ptr<ObjectStore> openStore();
    bool prepareDatabaseFolder();
    bool runMigrations();
    void present(const PdError &error);

    PdSettings &m_settings;
    Clock &m_clock;
    ErrorPresenter &m_errorPresenter;
    ActivityManager *m_activityManager = nullptr;
    QuitConfirmation *m_quitConfirmation = nullptr;
    StoreModel m_model;
    std::unique_ptr<ObjectStore> m_store;
    bool m_openAttempted = false;
    bool m_migrating = false;
    bool m_mainContextFailurePresented = false;
    PdError m_lastError;
};
