#include "DropboxCommand.h"

#include "CliSession.h"
#include "CliStatus.h"
#include "VerbArguments.h"

#include "CloudCourierConnection.h"
#include "PDDropboxSyncBackend.h"
#include "linux/PdKeychain.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>

namespace {

const QString Verb = QStringLiteral("dropbox");

// Asks Dropbox who the token belongs to, through a service connection of its own, so that a token
// Dropbox refuses is never stored.
AccountInfoReply accountOfToken(const QString &token)
{
    CloudCourierConnection connection;
    connection.syncInitWithSyncRoot(PDDropboxSyncBackend::syncFolder, token);
    AccountInfoReply answer;
    QEventLoop loop;
    connection.getAccountInfoWithReply([&](const AccountInfoReply &reply) {
        answer = reply;
        loop.quit();
    });
    loop.exec();
    return answer;
}

int connect(CliSession &session, PdKeychain &keychain, const QString &token)
{
    if (token.trimmed().isEmpty())
        return CliStatus::fail(Verb, QStringLiteral("connect needs --token TOKEN"), CliStatus::UsageError);
    const AccountInfoReply reply = accountOfToken(token.trimmed());
    if (reply.connectionError)
        return CliStatus::fail(Verb, reply.connectionError->message(), CliStatus::Failure);
    if (reply.error)
        return CliStatus::fail(Verb, QStringLiteral("Dropbox refused the token: %1").arg(*reply.error),
                               CliStatus::Failure);

    const QString name = reply.displayName.value_or(QString());
    const QString accountID = reply.accountId.value_or(QString());
    PDDropboxSyncBackend backend(session.settings(), keychain);
    if (!backend.connectDropboxAccountWithName(name, accountID, token.trimmed()))
        return CliStatus::fail(
            Verb,
            QStringLiteral("the token could not be stored in the keychain: %1").arg(keychain.lastError()),
            CliStatus::Failure);
    session.settings().setSyncMethod(PdSettings::SyncDropbox);
    CliStatus::print(QStringLiteral("Connected with Dropbox as %1 (%2)\n").arg(name, accountID));
    return CliStatus::Success;
}

int status(CliSession &session, PdKeychain &keychain)
{
    PdSettings &settings = session.settings();
    QString text;
    if (!PDDropboxSyncBackend::isDropboxConnected(keychain)) {
        text = QStringLiteral("Dropbox status: not connected\nLast sync date: not synced yet\n");
        if (!keychain.lastError().isEmpty())
            text += QStringLiteral("Keychain: %1\n").arg(keychain.lastError());
    } else {
        const QString name = settings.dropboxAccountName();
        text = name.isEmpty() ? QStringLiteral("Dropbox status: connected\n")
                              : QStringLiteral("Dropbox status: connected with %1\n").arg(name);
        if (!settings.dropboxAccountID().isEmpty())
            text += QStringLiteral("Account id: %1\n").arg(settings.dropboxAccountID());
        const QDateTime date = settings.dropboxSyncDate();
        const QLocale locale;
        text += date.isValid() ? QStringLiteral("Last sync date: %1 %2\n")
                                     .arg(locale.toString(date.date(), QLocale::LongFormat),
                                          locale.toString(date.time(), QLocale::ShortFormat))
                               : QStringLiteral("Last sync date: not synced yet\n");
    }
    text += settings.syncMethod() == PdSettings::SyncDropbox ? QStringLiteral("Sync method: Dropbox\n")
                                                             : QStringLiteral("Sync method: don't sync\n");
    CliStatus::print(text);
    return CliStatus::Success;
}

int disconnect(CliSession &session, PdKeychain &keychain)
{
    PDDropboxSyncBackend(session.settings(), keychain).disconnectDropbox();
    if (PDDropboxSyncBackend::isDropboxConnected(keychain))
        return CliStatus::fail(
            Verb, QStringLiteral("the keychain items could not be deleted: %1").arg(keychain.lastError()),
            CliStatus::Failure);
    CliStatus::print(QStringLiteral("Disconnected from Dropbox\n"));
    return CliStatus::Success;
}

} // namespace

int DropboxCommand::run(const QStringList &arguments)
{
    VerbArguments verb(Verb, QStringLiteral("connect --token TOKEN | status | disconnect"),
                       QStringLiteral("Connects Pendulo with a Dropbox account, shows the connection, or "
                                      "disconnects."));
    verb.parser().addPositionalArgument(QStringLiteral("ACTION"),
                                        QStringLiteral("connect, status or disconnect."));
    verb.parser().addOption(
        QCommandLineOption(QStringLiteral("token"),
                           QStringLiteral("An access token generated for Pendulo's Dropbox application."),
                           QStringLiteral("TOKEN")));
    verb.setHelpEpilogue(QStringLiteral(
        "\nThe token is kept in the desktop's secret store (Secret Service or KWallet), never in a file.\n"
        "connect asks Dropbox whose token it is, stores it only when Dropbox accepts it, and sets the\n"
        "sync method to Dropbox. disconnect deletes the token and forgets the account.\n"
        "\nExamples:\n"
        "  pendulo dropbox connect --token sl.ABC...\n"
        "  pendulo dropbox status\n"));

    if (const std::optional<int> status = verb.parse(arguments))
        return *status;
    if (const std::optional<int> status = verb.expectPositional(1, 1))
        return *status;

    const QString action = verb.parser().positionalArguments().constFirst();
    CliSession session;
    PdKeychain keychain;
    if (action == u"connect")
        return connect(session, keychain, verb.parser().value(QStringLiteral("token")));
    if (verb.parser().isSet(QStringLiteral("token")))
        return CliStatus::fail(Verb, QStringLiteral("--token belongs to connect"), CliStatus::UsageError);
    if (action == u"status")
        return status(session, keychain);
    if (action == u"disconnect")
        return disconnect(session, keychain);
    return CliStatus::fail(Verb, QStringLiteral("'%1' is not connect, status or disconnect").arg(action),
                           CliStatus::UsageError);
}
