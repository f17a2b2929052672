// The Dropbox service's cost on top of HTTP: one small operation through pendulo-courier against the
// fake Dropbox server, next to the same HTTP call made directly; and a 5 MB month file up and down.
// Needs the pendulo-courier program built next to this one (build/<preset>/bin).

#include "CloudCourierConnection.h"
#include "FakeDropboxServer.h"
#include "linux/LocalTimeZone.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryFile>

#include <benchmark/benchmark.h>

namespace {

const QString Account = QStringLiteral("dbid:bench");
const QString Token = QStringLiteral("bench-token");
const QString MonthFile = QStringLiteral("2016-03.json");

FakeDropboxServer *server = nullptr;

QByteArray monthFileContent()
{
    const QByteArray activity =
        R"({"uid":"0F6A3C44-2C1B-4E9B-9A53-1D2E3F405A6B","text":"Write offer @Acme #sales",)"
        R"("timeFrom":1458000000,"timeTo":1458003600,"modified":1458003600,"invoiced":false},)";
    QByteArray content = "[";
    while (content.size() < 5 * 1024 * 1024)
        content += activity;
    content.back() = ']';
    return content;
}

template <typename Predicate> void spinUntil(Predicate done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

template <typename Reply, typename Start> Reply roundTrip(Start start)
{
    std::optional<Reply> reply;
    start([&reply](const Reply &r) { reply = r; });
    spinUntil([&] { return reply.has_value(); });
    return *reply;
}

QByteArray post(QNetworkAccessManager &manager, const QString &url,
                const QList<std::pair<QByteArray, QByteArray>> &headers, const QByteArray &body)
{
    QNetworkRequest request{QUrl(url)};
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    QNetworkReply *reply = manager.post(request, body);
    spinUntil([reply] { return reply->isFinished(); });
    reply->deleteLater();
    return reply->readAll();
}

CloudCourierConnection &courier()
{
    static CloudCourierConnection *connection = [] {
        auto *c = new CloudCourierConnection;
        c->syncInitWithSyncRoot(QStringLiteral("sync"), Token);
        return c;
    }();
    return *connection;
}

void BM_AccountInfoThroughCourier(benchmark::State &state)
{
    roundTrip<AccountInfoReply>(
        [](auto done) { courier().getAccountInfoWithReply(done); }); // start the service
    for (auto _ : state) {
        const auto reply =
            roundTrip<AccountInfoReply>([](auto done) { courier().getAccountInfoWithReply(done); });
        if (!reply.accountId)
            state.SkipWithError("no account");
    }
}
BENCHMARK(BM_AccountInfoThroughCourier)->Unit(benchmark::kMicrosecond);

// The protocol alone: a service whose endpoints are unusable answers at once, without any HTTP.
void BM_ProtocolRoundTripWithoutHttp(benchmark::State &state)
{
    const QByteArray api = qgetenv("PENDULO_DROPBOX_API_URL");
    qputenv("PENDULO_DROPBOX_API_URL", "http://unusable.example/2/");
    CloudCourierConnection connection;
    connection.syncInitWithSyncRoot(QStringLiteral("sync"), Token);
    roundTrip<AccountInfoReply>([&](auto done) { connection.getAccountInfoWithReply(done); });
    qputenv("PENDULO_DROPBOX_API_URL", api);
    for (auto _ : state) {
        const auto reply =
            roundTrip<AccountInfoReply>([&](auto done) { connection.getAccountInfoWithReply(done); });
        if (!reply.error)
            state.SkipWithError("expected the configuration error");
    }
}
BENCHMARK(BM_ProtocolRoundTripWithoutHttp)->Unit(benchmark::kMicrosecond);

void BM_AccountInfoDirectHttp(benchmark::State &state)
{
    QNetworkAccessManager manager;
    const QString url = server->apiBaseUrl() + QStringLiteral("users/get_current_account");
    const QList<std::pair<QByteArray, QByteArray>> headers{{"Authorization", "Bearer " + Token.toUtf8()}};
    post(manager, url, headers, {});
    for (auto _ : state)
        benchmark::DoNotOptimize(post(manager, url, headers, {}));
}
BENCHMARK(BM_AccountInfoDirectHttp)->Unit(benchmark::kMicrosecond);

void BM_UploadMonthFileThroughCourier(benchmark::State &state)
{
    QTemporaryFile file;
    file.open();
    const QByteArray content = monthFileContent();
    file.write(content);
    file.flush();
    for (auto _ : state) {
        file.seek(0);
        const auto reply = roundTrip<PutFileReply>(
            [&](auto done) { courier().syncPutFile(file.handle(), MonthFile, std::nullopt, done); });
        if (reply.error)
            state.SkipWithError(qPrintable(*reply.error));
    }
    state.SetBytesProcessed(state.iterations() * content.size());
}
BENCHMARK(BM_UploadMonthFileThroughCourier)->Unit(benchmark::kMillisecond);

void BM_UploadMonthFileDirectHttp(benchmark::State &state)
{
    QNetworkAccessManager manager;
    const QByteArray content = monthFileContent();
    const QString url = server->contentBaseUrl() + QStringLiteral("files/upload");
    const QList<std::pair<QByteArray, QByteArray>> headers{
        {"Authorization", "Bearer " + Token.toUtf8()},
        {"Content-Type", "application/octet-stream"},
        {"Dropbox-API-Arg", R"({"path":"/sync/2016-03.json","mode":"add","autorename":false,"mute":false})"}};
    for (auto _ : state)
        benchmark::DoNotOptimize(post(manager, url, headers, content));
    state.SetBytesProcessed(state.iterations() * content.size());
}
BENCHMARK(BM_UploadMonthFileDirectHttp)->Unit(benchmark::kMillisecond);

void BM_DownloadMonthFileThroughCourier(benchmark::State &state)
{
    qint64 bytes = 0;
    for (auto _ : state) {
        const auto reply = roundTrip<GetFileReply>([](auto done) { courier().syncGetFile(MonthFile, done); });
        if (!reply.file) {
            state.SkipWithError("download failed");
            break;
        }
        bytes += reply.file->readAll().size(); // the caller copies the content into its cache
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DownloadMonthFileThroughCourier)->Unit(benchmark::kMillisecond);

void BM_DownloadMonthFileDirectHttp(benchmark::State &state)
{
    QNetworkAccessManager manager;
    const QString url = server->contentBaseUrl() + QStringLiteral("files/download");
    const QList<std::pair<QByteArray, QByteArray>> headers{
        {"Authorization", "Bearer " + Token.toUtf8()},
        {"Dropbox-API-Arg", R"({"path":"/sync/2016-03.json"})"}};
    qint64 bytes = 0;
    for (auto _ : state)
        bytes += post(manager, url, headers, {}).size();
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_DownloadMonthFileDirectHttp)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // As Pendulo does at start: TZ pinned, so local-time conversions cost what they cost there.
    LocalTimeZone::pinProcessZone();
    QCoreApplication app(argc, argv);
    FakeDropboxServer fake;
    if (!fake.start())
        return 1;
    server = &fake;
    fake.exportEnvironment();
    fake.addAccount(Account, QStringLiteral("Bench Mark"));
    fake.addToken(Token, Account);
    fake.putFile(Account, QStringLiteral("/sync/") + MonthFile, monthFileContent());

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete &courier();
    return 0;
}
