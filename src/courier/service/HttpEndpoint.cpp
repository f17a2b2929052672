#include "HttpEndpoint.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// Inactivity limit of one transfer; PENDULO_COURIER_TRANSFER_TIMEOUT_MS overrides it.
int transferTimeoutMs()
{
    bool ok = false;
    const int configured = qEnvironmentVariableIntValue("PENDULO_COURIER_TRANSFER_TIMEOUT_MS", &ok);
    return ok && configured > 0 ? configured : 120000;
}

int statusOf(QNetworkReply *reply)
{
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

bool isSuccessStatus(int status)
{
    return status >= 200 && status < 300;
}

// Errors below 200 are transport failures (refused, closed, timed out, TLS): no complete response.
bool isTransportError(QNetworkReply::NetworkError error)
{
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

HttpResult resultOf(QNetworkReply *reply, QByteArray body)
{
    HttpResult result;
    const QNetworkReply::NetworkError error = reply->error();
    result.status = isTransportError(error) ? 0 : statusOf(reply);
    result.success = !isTransportError(error) && isSuccessStatus(result.status);
    result.headers = reply->rawHeaderPairs();
    result.body = std::move(body);
    if (!result.success)
        result.errorDescription = reply->errorString();
    return result;
}

} // namespace

QByteArray HttpResult::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpEndpoint::HttpEndpoint(const QUrl &base, const QString &configurationError, QObject *parent)
    : QObject(parent)
    , m_base(base)
    , m_configurationError(configurationError)
{}

QUrl HttpEndpoint::urlForPath(const QString &path) const
{
    return m_base.resolved(QUrl(path));
}

QNetworkAccessManager *HttpEndpoint::manager()
{
    if (!m_manager) {
        m_manager = new QNetworkAccessManager(this);
        m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    return m_manager;
}

QNetworkReply *HttpEndpoint::start(const QString &path, const HttpHeaders &headers, const QByteArray &body,
                                   const Completion &done)
{
    if (m_base.isEmpty()) {
        HttpResult result;
        result.errorDescription = m_configurationError;
        QTimer::singleShot(0, this, [done, result] { done(result); });
        return nullptr;
    }
    QNetworkRequest request(urlForPath(path));
    request.setTransferTimeout(transferTimeoutMs());
    for (const auto &[name, value] : headers)
        request.setRawHeader(name, value);
    return manager()->post(request, body);
}

void HttpEndpoint::post(const QString &path, const HttpHeaders &headers, const QByteArray &body,
                        Completion done)
{
    QNetworkReply *reply = start(path, headers, body, done);
    if (!reply)
        return;
    connect(reply, &QNetworkReply::finished, this, [reply, done] {
        reply->deleteLater();
        done(resultOf(reply, reply->isOpen() ? reply->readAll() : QByteArray()));
    });
}

void HttpEndpoint::postToFile(const QString &path, const HttpHeaders &headers, const QByteArray &body,
                              QSharedPointer<QFile> target, Completion done)
{
    QNetworkReply *reply = start(path, headers, body, done);
    if (!reply)
        return;
    // A successful response streams into the file; an error response's body is kept for the message.
    auto errorBody = QSharedPointer<QByteArray>::create();
    auto writeFailure = QSharedPointer<QString>::create();
    connect(reply, &QNetworkReply::readyRead, this, [reply, target, errorBody, writeFailure] {
        const QByteArray chunk = reply->readAll();
        if (!isSuccessStatus(statusOf(reply))) {
            errorBody->append(chunk);
            return;
        }
        if (writeFailure->isEmpty() && target->write(chunk) != chunk.size()) {
            *writeFailure = QStringLiteral("Cannot write the downloaded file: %1").arg(target->errorString());
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, target, errorBody, writeFailure, done] {
        reply->deleteLater();
        const QByteArray rest = reply->isOpen() ? reply->readAll() : QByteArray();
        if (isSuccessStatus(statusOf(reply)) && writeFailure->isEmpty())
            target->write(rest);
        else
            errorBody->append(rest);
        HttpResult result = resultOf(reply, *errorBody);
        if (!writeFailure->isEmpty()) {
            result.success = false;
            result.status = 0;
            result.errorDescription = *writeFailure;
        } else if (result.success && !target->flush()) {
            result.success = false;
            result.errorDescription =
                QStringLiteral("Cannot write the downloaded file: %1").arg(target->errorString());
        }
        done(result);
    });
}
