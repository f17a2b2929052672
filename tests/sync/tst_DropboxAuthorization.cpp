#include "DropboxAuthorization.h"

#include <QRegularExpression>
#include <QTest>
#include <QUrlQuery>

namespace {

const QUrl Page(QStringLiteral("https://www.dropbox.com/oauth2/authorize"));
const QString Key = QStringLiteral("abc123def456ghi");

QUrl withState(const QString &address, const QString &state)
{
    return QUrl(QString(address).replace(QStringLiteral("STATE"), state));
}

} // namespace

class TestDropboxAuthorization : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buildsTheAuthorizationAddress()
    {
        DropboxAuthorization authorization(Page, Key);
        QCOMPARE(authorization.pendingState(), QString());
        const std::optional<QUrl> url = authorization.authorizationUrl();
        QVERIFY(url);
        const QString state = authorization.pendingState();
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Za-z0-9_-]{43}$")).match(state).hasMatch(),
                 qPrintable(state));
        QCOMPARE(url->toString(QUrl::FullyEncoded),
                 QStringLiteral("https://www.dropbox.com/oauth2/authorize?response_type=token&client_id=%1"
                                "&redirect_uri=penduloapp://dropbox&state=%2")
                     .arg(Key, state));

        // Each request has its own state, which replaces the earlier one.
        const std::optional<QUrl> next = authorization.authorizationUrl();
        QVERIFY(next);
        QVERIFY(authorization.pendingState() != state);
        QCOMPARE(QUrlQuery(*next).queryItemValue(QStringLiteral("state")), authorization.pendingState());
    }

    void refusesToConnectWithoutApplicationKey()
    {
        DropboxAuthorization authorization(Page, QString());
        PdError error;
        QCOMPARE(authorization.authorizationUrl(&error), std::nullopt);
        QVERIFY(error.description.contains(QStringLiteral("no Dropbox application key")));
        QCOMPARE(authorization.pendingState(), QString());
    }

    void acceptsOnlyAnswersToOurRequest_data()
    {
        QTest::addColumn<QString>("address"); // STATE stands for the state value of the request
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("accountId");

        const QString fragment =
            QStringLiteral("access_token=tok&token_type=bearer&account_id=dbid&state=STATE");
        QTest::newRow("plain") << QStringLiteral("penduloapp://dropbox#") + fragment << true << "tok"
                               << "dbid";
        QTest::newRow("other order")
            << "penduloapp://dropbox#state=STATE&account_id=a&token_type=bearer&access_token=t" << true << "t"
            << "a";
        QTest::newRow("no account") << "penduloapp://dropbox#access_token=t&token_type=bearer&state=STATE"
                                    << true << "t"
                                    << "";
        QTest::newRow("encoded values")
            << "penduloapp://"
               "dropbox#access_token=a%2Bb%26c%3Dd%20%C3%A4+e&token_type=bearer&account_id=dbid%3AAB"
               "&state=STATE"
            << true << "a+b&c=d ä+e"
            << "dbid:AB";
        QTest::newRow("encoded name")
            << "penduloapp://dropbox#access%5Ftoken=t&token%5Ftype=bearer&state=STATE" << true << "t"
            << "";
        QTest::newRow("later names win")
            << "penduloapp://"
               "dropbox#token_type=mac&access_token=old&token_type=bearer&access_token=new&state=x"
               "&state=STATE"
            << true << "new"
            << "";
        QTest::newRow("later type wins")
            << QStringLiteral("penduloapp://dropbox#") + fragment + "&token_type=mac" << false << ""
            << "";
        QTest::newRow("pieces without one '='")
            << "penduloapp://dropbox#junk&&access_token=t&access_token=x=y&token_type=bearer&=&state=STATE"
            << true << "t"
            << "";
        QTest::newRow("token with two '='")
            << "penduloapp://dropbox#access_token=a=b&token_type=bearer&state=STATE" << false << ""
            << "";
        QTest::newRow("wrong scheme") << QStringLiteral("https://dropbox#") + fragment << false << ""
                                      << "";
        QTest::newRow("wrong host") << QStringLiteral("penduloapp://dropbox.example#") + fragment << false
                                    << ""
                                    << "";
        QTest::newRow("query, not fragment")
            << QStringLiteral("penduloapp://dropbox?") + fragment << false << ""
            << "";
        QTest::newRow("no token type") << "penduloapp://dropbox#access_token=t&state=STATE" << false << ""
                                       << "";
        QTest::newRow("mac token") << "penduloapp://dropbox#access_token=t&token_type=mac&state=STATE"
                                   << false << ""
                                   << "";
        QTest::newRow("no token") << "penduloapp://dropbox#token_type=bearer&account_id=a&state=STATE"
                                  << false << ""
                                  << "";
        QTest::newRow("empty token") << "penduloapp://dropbox#access_token=&token_type=bearer&state=STATE"
                                     << false << ""
                                     << "";
        QTest::newRow("no state") << "penduloapp://dropbox#access_token=t&token_type=bearer" << false << ""
                                  << "";
        QTest::newRow("empty state") << "penduloapp://dropbox#access_token=t&token_type=bearer&state="
                                     << false << ""
                                     << "";
        QTest::newRow("other state") << "penduloapp://dropbox#access_token=t&token_type=bearer&state=STATEx"
                                     << false << ""
                                     << "";
        QTest::newRow("refused by the user")
            << "penduloapp://"
               "dropbox#error=access_denied&error_description=The+user+chose+not+to+give+your+app"
               "+access&state=STATE"
            << false << ""
            << "";
    }

    void acceptsOnlyAnswersToOurRequest()
    {
        QFETCH(QString, address);
        QFETCH(bool, accepted);
        QFETCH(QString, token);
        QFETCH(QString, accountId);

        DropboxAuthorization authorization(Page, Key);
        QVERIFY(authorization.authorizationUrl());
        const QString state = authorization.pendingState();
        const std::optional<DropboxAuthorizationResult> result =
            authorization.handleRedirect(withState(address, state));
        if (!accepted) {
            QCOMPARE(result, std::nullopt);
            // The request stays open for the real answer.
            QCOMPARE(authorization.pendingState(), state);
            return;
        }
        QVERIFY(result);
        QCOMPARE(result->accessToken, token);
        QCOMPARE(result->accountId, accountId);
        QCOMPARE(authorization.pendingState(), QString());
    }

    void acceptsEachAnswerOnceAndNoneWithoutRequest()
    {
        const QString address =
            QStringLiteral("penduloapp://dropbox#access_token=t&token_type=bearer&state=STATE");
        DropboxAuthorization authorization(Page, Key);
        QCOMPARE(authorization.handleRedirect(withState(address, QString())), std::nullopt);

        QVERIFY(authorization.authorizationUrl());
        const QUrl answer = withState(address, authorization.pendingState());
        QVERIFY(authorization.handleRedirect(answer));
        QCOMPARE(authorization.handleRedirect(answer), std::nullopt);

        // An answer to an earlier request is not accepted once a new one is made.
        QVERIFY(authorization.authorizationUrl());
        const QUrl earlier = withState(address, authorization.pendingState());
        QVERIFY(authorization.authorizationUrl());
        QCOMPARE(authorization.handleRedirect(earlier), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestDropboxAuthorization)
#include "tst_DropboxAuthorization.moc"
