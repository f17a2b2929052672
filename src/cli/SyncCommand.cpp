#include "SyncCommand.h"

#include "CliSession.h"
#include "CliStatus.h"
#include "VerbArguments.h"

#include "PDDropboxSyncBackend.h"
#include "PDSyncManager.h"
#include "PDSyncService.h"
#include "SyncLock.h"
#include "linux/PdKeychain.h"
#include "store/Context.h"
#include "store/ObjectStore.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace {

const QString Verb = QStringLiteral("sync");

} // namespace

int SyncCommand::run(const QStringList &arguments)
{
    VerbArguments verb(Verb, QString(),
                       QStringLiteral("Runs one sync with the configured method and shows its progress."));
    verb.setHelpEpilogue(QStringLiteral(
        "\nConnect an account first with 'pendulo dropbox connect'. While the desktop program runs it\n"
        "syncs the store itself, and this command refuses to start a second run.\n"
        "\nExit status: 0 synced, 1 the run failed.\n"));
    if (const std::optional<int> status = verb.parse(arguments))
        return *status;
    if (const std::optional<int> status = verb.expectPositional(0, 0))
        return *status;

    CliSession session;
    if (session.settings().syncMethod() != PdSettings::SyncDropbox)
        return CliStatus::fail(Verb,
                               QStringLiteral("sync is switched off; connect Dropbox with 'pendulo dropbox "
                                              "connect' or choose Dropbox in the preferences"),
                               CliStatus::Failure);

    SyncLock lock(StoreController::applicationFilesDirectory());
    if (!lock.tryLock()) {
        const qint64 holder = lock.holderProcessId();
        return CliStatus::fail(Verb,
                               QStringLiteral("another Pendulo program%1 is syncing this store; it syncs "
                                              "on its own, try again once it has quit")
                                   .arg(holder ? QStringLiteral(" (process %1)").arg(holder) : QString()),
                               CliStatus::Failure);
    }

    QString error;
    ObjectStore *store = session.store(&error);
    if (!store)
        return CliStatus::fail(Verb, error, CliStatus::Failure);

    PdKeychain keychain;
    PDSyncManager::Dependencies dependencies;
    dependencies.makeContext = [store] { return store->newContext(true); };
    dependencies.makeBackend = [&] {
        return std::make_shared<PDDropboxSyncBackend>(session.settings(), keychain);
    };
    PDSyncManager manager(session.settings(), session.clock(), std::move(dependencies));

    int outcome = -1;
    QString message;
    QEventLoop loop;
    QObject::connect(&manager, &PDSyncManager::syncOperationChanged,
                     [&](PDSyncManager *, int status, PDSyncService *service) {
                         if (status == PDSyncManager::Started) {
                             QObject::connect(service, &PDSyncService::syncServiceProgress,
                                              [](PDSyncService *, const QString &progress) {
                                                  CliStatus::print(progress + QLatin1Char('\n'));
                                              });
                             QObject::connect(service, &PDSyncService::syncServiceError,
                                              [&message](PDSyncService *run, const QString &title) {
                                                  message = QStringLiteral("%1: %2").arg(
                                                      title, run->currentProgressMessage());
                                              });
                             return;
                         }
                         outcome = status;
                         if (status == PDSyncManager::Finished)
                             message = service->currentProgressMessage();
                         loop.quit();
                     });
    manager.startSync();
    if (outcome < 0 && manager.currentSyncService())
        loop.exec();
    // Settings written by the run's threads arrive as queued calls; let them land before leaving.
    QCoreApplication::processEvents();

    if (outcome == PDSyncManager::Finished) {
        CliStatus::print(message + QLatin1Char('\n'));
        return CliStatus::Success;
    }
    if (outcome == PDSyncManager::Cancelled)
        return CliStatus::fail(Verb, QStringLiteral("the sync run was cancelled"), CliStatus::Failure);
    return CliStatus::fail(Verb, message.isEmpty() ? QStringLiteral("the sync run could not start") : message,
                           CliStatus::Failure);
}
