#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSharedPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <utility>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// The outcome of one HTTP request. Any 2xx status is success, whatever the content type. A failure
// without a (complete) response has status 0.
struct HttpResult
{
    bool success = false;
    int status = 0;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QString errorDescription;

    QByteArray header(const QByteArray &name) const;
    QString bodyText() const { return QString::fromUtf8(body); }
};

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

// One HTTP endpoint (a base address) with its own network access manager, made on first use. Requests
// are POSTs with arbitrary headers and a byte body; a download writes a successful response's body into
// a file instead of memory. TLS certificates are verified (Qt's default), never ignored.
class HttpEndpoint : public QObject
{
    Q_OBJECT

public:
    using Completion = std::function<void(const HttpResult &)>;

    // `base` empty means the endpoint is unusable; every request then fails with `configurationError`.
    HttpEndpoint(const QUrl &base, const QString &configurationError, QObject *parent = nullptr);

    QUrl urlForPath(const QString &path) const;

    void post(const QString &path, const HttpHeaders &headers, const QByteArray &body, Completion done);
    void postToFile(const QString &path, const HttpHeaders &headers, const QByteArray &body,
                    QSharedPointer<QFile> target, Completion done);

private:
    QNetworkReply *start(const QString &path, const HttpHeaders &headers, const QByteArray &body,
                         const Completion &done);
    QNetworkAccessManager *manager();

    QUrl m_base;
    QString m_configurationError;
    QNetworkAccessManager *m_manager = nullptr;
};
