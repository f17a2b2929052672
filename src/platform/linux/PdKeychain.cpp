#include "PdKeychain.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLoggingCategory>
#include <QThread>

#include <qt6keychain/keychain.h>

#include <functional>
#include <future>
#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcKeychain, "pendulo.platform")

const QString NoServiceText = QStringLiteral("No keychain service available");
const QString NoGlibLoopText =
    QStringLiteral("The keychain cannot be reached without the GLib event loop (QT_NO_GLIB is set)");

// Whether anything on the session bus can keep secrets: a Secret Service (running or startable on
// demand) or KWallet. QtKeychain passes on the bare D-Bus error when there is none.
bool secretStoreReachable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface *busInterface = bus.isConnected() ? bus.interface() : nullptr;
    if (!busInterface)
        return false;
    const QString secretService = QStringLiteral("org.freedesktop.secrets");
    return busInterface->isServiceRegistered(secretService).value() ||
           busInterface->activatableServiceNames().value().contains(secretService) ||
           busInterface->isServiceRegistered(QStringLiteral("org.kde.kwalletd5")).value();
}

enum class Status
{
    Success,
    NotFound,
    Failed
};

struct JobResult
{
    Status status = Status::Failed;
    QString text;      // the item's content after a successful read
    QString errorText; // the secret store's text for a failure
};

// QtKeychain runs its jobs asynchronously on the thread that starts them: its job queue is a single
// object bound to the thread of the first job, and replies from the secret store arrive through that
// thread's event loop. So all jobs of the process run on this one thread, which lives until the process
// ends; callers block on a future until their job has finished.
class KeychainThread
{
public:
    KeychainThread()
    {
        m_thread.setObjectName(QStringLiteral("Keychain"));
        m_context.moveToThread(&m_thread);
        m_thread.start();
    }
    ~KeychainThread()
    {
        m_thread.quit();
        m_thread.wait();
    }

    static KeychainThread &instance()
    {
        static KeychainThread thread;
        return thread;
    }

    // Starts the job made by `makeJob` on the keychain thread and waits for its outcome.
    JobResult run(const std::function<QKeychain::Job *()> &makeJob)
    {
        auto promise = std::make_shared<std::promise<JobResult>>();
        std::future<JobResult> outcome = promise->get_future();
        QMetaObject::invokeMethod(&m_context, [makeJob, promise] {
            // The Secret Service client answers through GLib's main loop, which Qt's event loop only
            // runs with its GLib dispatcher (the default, unless QT_NO_GLIB is set). Without it the job
            // would never finish.
            if (!QAbstractEventDispatcher::instance()->inherits("QEventDispatcherGlib")) {
                promise->set_value({Status::Failed, {}, NoGlibLoopText});
                return;
            }
            QKeychain::Job *job = makeJob();
            // Never keep a secret in a settings file when the secret store is missing.
            job->setInsecureFallback(false);
            job->setAutoDelete(false);
            QObject::connect(job, &QKeychain::Job::finished, job, [promise](QKeychain::Job *finished) {
                promise->set_value(resultOf(*finished));
                finished->deleteLater();
            });
            job->start();
        });
        return outcome.get();
    }

private:
    static JobResult resultOf(const QKeychain::Job &job)
    {
        JobResult result;
        switch (job.error()) {
        case QKeychain::NoError:
            result.status = Status::Success;
            if (const auto *read = qobject_cast<const QKeychain::ReadPasswordJob *>(&job))
                result.text = read->textData();
            break;
        case QKeychain::EntryNotFound:
            result.status = Status::NotFound;
            break;
        case QKeychain::NoBackendAvailable:
            result.errorText = NoServiceText;
            break;
        default:
            if (!secretStoreReachable())
                result.errorText = NoServiceText;
            else if (!job.errorString().isEmpty())
                result.errorText = job.errorString();
            else
                result.errorText = QStringLiteral("Unknown keychain error");
            break;
        }
        return result;
    }

    QThread m_thread;
    QObject m_context;
};

} // namespace

PdKeychain::PdKeychain(const QString &service)
    : m_service(service)
{}

bool PdKeychain::saveGenericPassword(const QString &password, const QString &account)
{
    m_lastError.clear();
    if (password.isEmpty()) {
        qCCritical(lcKeychain, "KeychainError - trying to store empty item");
        return false;
    }
    if (account.isEmpty()) {
        logFailure(QStringLiteral("(save) no account name given"), QStringLiteral("Invalid argument"));
        return false;
    }
    KeychainThread &keychain = KeychainThread::instance();
    const JobResult existing = keychain.run([this, account] {
        auto *job = new QKeychain::ReadPasswordJob(m_service);
        job->setKey(account);
        return job;
    });
    if (existing.status == Status::Failed) {
        logFailure(QStringLiteral("(save) failed to retrieve keychain item"), existing.errorText);
        return false;
    }
    // Tokens are case-sensitive: only exactly the same text counts as already stored.
    if (existing.status == Status::Success && existing.text == password)
        return true;

    const JobResult written = keychain.run([this, account, password] {
        auto *job = new QKeychain::WritePasswordJob(m_service);
        job->setKey(account);
        job->setTextData(password);
        return job;
    });
    if (written.status != Status::Success) {
        logFailure(existing.status == Status::Success
                       ? QStringLiteral("(save) failed to update keychain item")
                       : QStringLiteral("(save) failed to create keychain item"),
                   written.errorText);
        return false;
    }
    return true;
}

std::optional<QString> PdKeychain::getGenericAccountPassword(const QString &account)
{
    m_lastError.clear();
    if (account.isEmpty())
        return std::nullopt;
    const JobResult item = KeychainThread::instance().run([this, account] {
        auto *job = new QKeychain::ReadPasswordJob(m_service);
        job->setKey(account);
        return job;
    });
    if (item.status == Status::Failed)
        logFailure(QStringLiteral("(get) failed to retrieve keychain item"), item.errorText);
    if (item.status != Status::Success || item.text.isEmpty())
        return std::nullopt;
    return item.text;
}

bool PdKeychain::deleteGenericPasswordForAccount(const QString &account)
{
    m_lastError.clear();
    if (account.isEmpty()) {
        logFailure(QStringLiteral("(delete) failed to find keychain item"),
                   QStringLiteral("No account name given"));
        return false;
    }
    KeychainThread &keychain = KeychainThread::instance();
    const JobResult existing = keychain.run([this, account] {
        auto *job = new QKeychain::ReadPasswordJob(m_service);
        job->setKey(account);
        return job;
    });
    if (existing.status == Status::NotFound)
        return true;
    if (existing.status == Status::Failed) {
        logFailure(QStringLiteral("(delete) failed to find keychain item"), existing.errorText);
        return false;
    }
    const JobResult deleted = keychain.run([this, account] {
        auto *job = new QKeychain::DeletePasswordJob(m_service);
        job->setKey(account);
        return job;
    });
    if (deleted.status == Status::Failed) {
        logFailure(QStringLiteral("(delete) failed to delete keychain item"), deleted.errorText);
        return false;
    }
    return true;
}

void PdKeychain::logFailure(const QString &action, const QString &statusText)
{
    m_lastError = statusText;
    qCCritical(lcKeychain, "KeychainError - %s: %s", qUtf8Printable(action), qUtf8Printable(statusText));
}
