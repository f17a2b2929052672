// Request building blocks of the Dropbox client: percent-encoding, the OAuth 1.0 signature, JSON for
// headers, error messages and endpoint addresses.

#include "DropboxConfig.h"
#include "DropboxJson.h"
#include "OAuth1Signature.h"

#include <QJsonObject>
#include <QTest>

class TestDropboxRequests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void percentEncoding_data();
    void percentEncoding();
    void base64();
    void oauthSignatureMatchesIndependentComputation_data();
    void oauthSignatureMatchesIndependentComputation();
    void oauthHeaderCarriesOnlyOAuthParameters();
    void headerSafeJson_data();
    void headerSafeJson();
    void errorMessage_data();
    void errorMessage();
    void endpointAddresses_data();
    void endpointAddresses();
};

void TestDropboxRequests::percentEncoding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoded");
    QTest::newRow("unreserved kept") << "AZaz09-._~"
                                     << "AZaz09-._~";
    QTest::newRow("reserved encoded") << ":/?#[]@!$&'()*+,;="
                                      << "%3A%2F%3F%23%5B%5D%40%21%24%26%27%28%29%2A%2B%2C%3B%3D";
    QTest::newRow("space and percent") << "a b%"
                                       << "a%20b%25";
    QTest::newRow("UTF-8 bytes, upper-case hex") << QString::fromUtf8("Ä€") << "%C3%84%E2%82%AC";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDropboxRequests::percentEncoding()
{
    QFETCH(QString, text);
    QFETCH(QString, encoded);
    QCOMPARE(OAuth1Signature::rfc3986ReservedEscaped(text), encoded);
}

void TestDropboxRequests::base64()
{
    QCOMPARE(OAuth1Signature::toBase64String("ab"), QStringLiteral("YWI="));
    QCOMPARE(OAuth1Signature::toBase64String(QByteArray("\xff\xfe\xfd", 3)), QStringLiteral("//79"));
    QCOMPARE(OAuth1Signature::toBase64String({}), QString());
}

// Expected signatures computed once with Python's hmac, hashlib and urllib.parse.quote(safe='-._~').
void TestDropboxRequests::oauthSignatureMatchesIndependentComputation_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("tokenSecret");
    QTest::addColumn<QString>("nonce");
    QTest::addColumn<bool>("withRequestParameter");
    QTest::addColumn<QString>("signature");
    QTest::newRow("token, non-ASCII secret, request parameter")
        << "https://api.dropboxapi.com/2/auth/token/from_oauth1"
        << "tk9a8b7c6d5e4f3" << QString::fromUtf8("tokensecretÄ") << "0F6A3C44-2C1B-4E9B-9A53-1D2E3F405A6B"
        << true << "2ojZO7vbaC3ejSbo3UIbXJVl3xk=";
    QTest::newRow("no token, query not signed as part of the address")
        << "http://127.0.0.1:8080/2/auth/token/from_oauth1?locale=de"
        << ""
        << ""
        << "N1" << false << "OQ3Iag2awDlcDnwMOuQ4DX3MOKM=";
}

void TestDropboxRequests::oauthSignatureMatchesIndependentComputation()
{
    QFETCH(QString, url);
    QFETCH(QString, token);
    QFETCH(QString, tokenSecret);
    QFETCH(QString, nonce);
    QFETCH(bool, withRequestParameter);
    QFETCH(QString, signature);

    OAuth1Signature::Input input;
    input.url = url;
    input.httpMethod = QStringLiteral("POST");
    input.consumerKey = QStringLiteral("abcdefghij12345");
    input.consumerSecret = QStringLiteral("s3cr3tappsecret");
    input.token = token;
    input.tokenSecret = tokenSecret;
    input.timestamp = QStringLiteral("1458000000");
    input.nonce = nonce;
    if (withRequestParameter)
        input.requestParameters.insert(QStringLiteral("extra"), QStringLiteral("a b/c"));

    const QMap<QString, QString> parameters = OAuth1Signature::signedParameters(input);
    QCOMPARE(parameters.value(QStringLiteral("oauth_signature")), signature);
    QCOMPARE(parameters.contains(QStringLiteral("oauth_token")), !token.isEmpty());
}

void TestDropboxRequests::oauthHeaderCarriesOnlyOAuthParameters()
{
    OAuth1Signature::Input input;
    input.url = QStringLiteral("https://api.dropboxapi.com/2/auth/token/from_oauth1");
    input.httpMethod = QStringLiteral("POST");
    input.consumerKey = QStringLiteral("abcdefghij12345");
    input.token = QStringLiteral("tk");
    input.timestamp = QStringLiteral("1");
    input.nonce = QStringLiteral("N");
    input.requestParameters.insert(QStringLiteral("extra"), QStringLiteral("x"));
    const QByteArray header = OAuth1Signature::authorizationHeader(OAuth1Signature::signedParameters(input));

    QVERIFY(header.startsWith("OAuth "));
    QVERIFY(!header.endsWith(','));
    QVERIFY(!header.contains("extra"));
    const QList<QByteArray> fields = header.mid(6).split(',');
    QCOMPARE(fields.size(), 7);
    QVERIFY(fields.contains("oauth_token=\"tk\""));
    QVERIFY(fields.contains("oauth_signature_method=\"HMAC-SHA1\""));
    QVERIFY(fields.contains("oauth_version=\"1.0\""));
}

void TestDropboxRequests::headerSafeJson_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("ASCII unchanged") << "/sync/2016-03.json"
                                     << QByteArray(R"({"path":"/sync/2016-03.json"})");
    QTest::newRow("umlaut") << QString::fromUtf8("/Ärger") << QByteArray(R"({"path":"/\u00c4rger"})");
    QTest::newRow("DEL escaped") << QStringLiteral("/a\x7f") << QByteArray(R"({"path":"/a\u007f"})");
    QTest::newRow("outside the basic plane as a surrogate pair")
        << QString::fromUtf8("/😀") << QByteArray(R"({"path":"/\ud83d\ude00"})");
}

void TestDropboxRequests::headerSafeJson()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, json);
    QCOMPARE(DropboxJson::headerSafe({{QStringLiteral("path"), path}}), json);
}

void TestDropboxRequests::errorMessage_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");
    const QByteArray summaryBody = R"({"error_summary": "path/not_found/..", "error": {".tag": "path"}})";
    QTest::newRow("401 without body")
        << 401 << QByteArray() << "Dropbox access revoked or access token expired (401)";
    QTest::newRow("503 with text body") << 503 << QByteArray("Service Unavailable")
                                        << "Access rate limited, too many requests (503)\n"
                                           "Error details: Service Unavailable";
    QTest::newRow("409 with summary")
        << 409 << summaryBody
        << QStringLiteral("(409): server said no\nError summary: path/not_found/..\nError details: %1")
               .arg(QString::fromUtf8(summaryBody));
    QTest::newRow("JSON body without summary")
        << 500 << QByteArray(R"({"x": 1})") << "(500): server said no\nError details: {\"x\": 1}";
    QTest::newRow("no response") << 0 << QByteArray() << "(0): server said no";
}

void TestDropboxRequests::errorMessage()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);
    HttpResult result;
    result.status = status;
    result.body = body;
    result.errorDescription = QStringLiteral("server said no");
    QCOMPARE(DropboxJson::errorMessage(result), message);
}

void TestDropboxRequests::endpointAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("normalised"); // empty: refused
    QTest::newRow("https") << "https://api.dropboxapi.com/2/"
                           << "https://api.dropboxapi.com/2/";
    QTest::newRow("slash added") << "https://api.dropboxapi.com/2"
                                 << "https://api.dropboxapi.com/2/";
    QTest::newRow("http loopback v4") << "http://127.0.0.1:8080/2/"
                                      << "http://127.0.0.1:8080/2/";
    QTest::newRow("http loopback v6") << "http://[::1]:8080/2/"
                                      << "http://[::1]:8080/2/";
    QTest::newRow("http localhost") << "http://localhost:1/2/"
                                    << "http://localhost:1/2/";
    QTest::newRow("http remote refused") << "http://api.dropboxapi.com/2/"
                                         << "";
    QTest::newRow("http lookalike refused") << "http://127.0.0.1.example.com/2/"
                                            << "";
    QTest::newRow("other scheme refused") << "ftp://127.0.0.1/2/"
                                          << "";
    QTest::newRow("garbage refused") << "not a url"
                                     << "";
}

void TestDropboxRequests::endpointAddresses()
{
    QFETCH(QString, address);
    QFETCH(QString, normalised);
    QString error;
    const QUrl url = DropboxConfig::validatedBaseUrl(address, &error);
    QCOMPARE(url.toString(), normalised);
    QCOMPARE(error.isEmpty(), !normalised.isEmpty());
}

QTEST_GUILESS_MAIN(TestDropboxRequests)
#include "tst_DropboxRequests.moc"
