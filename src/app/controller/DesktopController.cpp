#include "controller/DesktopController.h"

#include "Activity.h"
#include "ActivityManager.h"
#include "Clock.h"
#include "DropboxAuthorization.h"
#include "DropboxConnection.h"
#include "PDDropboxSyncBackend.h"
#include "PdSettings.h"
#include "Pendulo_AppDelegate.h"
#include "controller/DesktopSyncScheduler.h"
#include "controller/MessageBoxErrorPresenter.h"
#include "controller/MessageBoxQuitConfirmation.h"
#include "linux/DBusNotifications.h"
#include "linux/DesktopUrlOpener.h"
#include "linux/PdKeychain.h"
#include "linux/SingleInstance.h"
#include "linux/TerminationSignals.h"
#include "linux/TrayStatusItem.h"
#include "linux/XdgAutostartLoginItem.h"
#include "store/ObjectStore.h"
#include "window/MainWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>

namespace DesktopController {

namespace {

// The helper next to this program (a build folder or an installation), else the one in PATH.
QString helperProgram()
{
    const QString sibling = QCoreApplication::applicationDirPath() + QStringLiteral("/pendulo-helper");
    return QFileInfo(sibling).isExecutable() ? sibling : QStringLiteral("pendulo-helper");
}

// Runs on the store the controller opened, as the Dropbox backend, never exporting the activity
// being tracked.
PDSyncManager::Dependencies syncDependencies(StoreController &storeController, PdSettings &settings,
                                             Keychain &keychain)
{
    PDSyncManager::Dependencies dependencies;
    dependencies.makeContext = [&storeController]() -> std::unique_ptr<Context> {
        ObjectStore *store = storeController.store();
        return store ? store->newContext(true) : nullptr;
    };
    dependencies.makeBackend = [&settings, &keychain] {
        return std::make_shared<PDDropboxSyncBackend>(settings, keychain);
    };
    dependencies.currentActivityID = [] {
        const Pendulo_AppDelegate *delegate = Pendulo_AppDelegate::shared();
        const Activity *current = delegate && delegate->activityManager()
                                      ? delegate->activityManager()->currentActivity()
                                      : nullptr;
        return current ? current->objectId() : ObjectId();
    };
    return dependencies;
}

} // namespace

int run(SingleInstance &instance, TerminationSignals &termination, const QStringList &arguments)
{
    QSettings userSettings; // ~/.config/Pendulo/Pendulo.conf
    XdgAutostartLoginItem loginItem(helperProgram());
    PdSettings::Platform settingsPlatform;
    settingsPlatform.loginItem = &loginItem;
    PdSettings settings(&userSettings, settingsPlatform);

    Clock &clock = Clock::system();
    MessageBoxErrorPresenter errorPresenter;
    MessageBoxQuitConfirmation quitConfirmation;
    StoreController storeController(settings, clock, errorPresenter);
    storeController.setQuitConfirmation(&quitConfirmation);

    TrayStatusItem tray;
    PdKeychain keychain;
    DesktopUrlOpener urlOpener;
    DropboxAuthorization dropboxAuthorization;
    DBusNotifications notifications;
    DropboxConnection dropboxConnection(dropboxAuthorization, settings, keychain, notifications);
    // Holds the store's sync lock until the program ends.
    DesktopSyncScheduler sync(settings, clock, syncDependencies(storeController, settings, keychain),
                              StoreController::applicationFilesDirectory());

    Pendulo_AppDelegate::Platform platform;
    platform.clock = &clock;
    platform.statusItem = &tray;
    platform.keychain = &keychain;
    platform.urlOpener = &urlOpener;
    Pendulo_AppDelegate::Features features;
    features.dropboxAuthorization = &dropboxAuthorization;
    features.dropboxConnection = &dropboxConnection;
    features.syncManager = &sync;
    Pendulo_AppDelegate delegate(settings, storeController, platform, features);
    errorPresenter.setParent(delegate.window());
    quitConfirmation.setParent(delegate.window());
    sync.setInform(
        [&delegate](const QString &title, const QString &text) { delegate.showInformation(title, text); });

    QObject::connect(&instance, &SingleInstance::argumentsReceived, &delegate,
                     &Pendulo_AppDelegate::handleArguments);
    QObject::connect(&termination, &TerminationSignals::terminationRequested, &delegate,
                     &Pendulo_AppDelegate::requestQuit);
    QObject::connect(&delegate, &Pendulo_AppDelegate::terminateApproved, qApp, &QCoreApplication::quit);

    if (!delegate.applicationDidFinishLaunching(arguments))
        return 1;
    return QApplication::exec();
}

} // namespace DesktopController
