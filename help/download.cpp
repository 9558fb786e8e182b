#include "download.h"

#include <QHostAddress>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace tolva::help {

Download::Download(QObject *parent) : QObject(parent) {}

Download::~Download()
{
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

QString Download::refusal(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https") && !url.host().isEmpty())
        return QString();
    if (scheme == QLatin1String("http") && QHostAddress(url.host()).isLoopback())
        return QString();
    return QStringLiteral("只从 https 地址下载，%1 不是，已拒绝。").arg(url.toDisplayString());
}

void Download::start(const QUrl &url, const QString &file)
{
    result_ = Result::Running;
    reason_.clear();
    refused_ = refusal(url);
    cancelled_ = false;
    writeFailed_ = false;
    url_ = url;
    // Reported from the event loop, like every other outcome, so callers wait the same way.
    if (!refused_.isEmpty()) {
        QTimer::singleShot(0, this, [this] { finish(Result::Failed, refused_); });
        return;
    }
    QString why;
    try {
        output_ = std::make_unique<OutputFile>(file);
        file_ = std::make_unique<QFile>(output_->temporaryPath());
        if (!file_->open(QIODevice::WriteOnly | QIODevice::Truncate))
            why = file_->errorString();
    } catch (const Error &e) {
        why = e.text();
    }
    if (!why.isEmpty()) {
        QTimer::singleShot(0, this, [this, why] { finish(Result::Failed, why); });
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(timeout_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    QNetworkReply *reply = manager_.get(request);
    reply_ = reply;
    connect(reply, &QNetworkReply::readyRead, this, &Download::readAvailable);
    connect(reply, &QNetworkReply::redirected, this, &Download::redirected);
    connect(reply, &QNetworkReply::finished, this, &Download::replyFinished);
}

void Download::redirected(const QUrl &url)
{
    const QUrl to = url_.resolved(url);
    const bool sameHost = to.host().compare(url_.host(), Qt::CaseInsensitive) == 0 &&
                          to.port(to.scheme() == QLatin1String("https") ? 443 : 80) ==
                              url_.port(url_.scheme() == QLatin1String("https") ? 443 : 80);
    if (!sameHost)
        refused_ = QStringLiteral("下载地址被转到另一台服务器 %1，已拒绝。").arg(to.toDisplayString());
    else
        refused_ = refusal(to);
    if (refused_.isEmpty())
        Q_EMIT reply_->redirectAllowed();
    else
        reply_->abort();
}

void Download::cancel()
{
    if (result_ != Result::Running)
        return;
    cancelled_ = true;
    if (reply_)
        reply_->abort();
}

void Download::readAvailable()
{
    // An error page is not the file.
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && status != 200) {
        reply_->readAll();
        return;
    }
    const QByteArray data = reply_->readAll();
    if (data.isEmpty())
        return;
    if (file_->write(data) != data.size()) {
        // A short write need not set the file's error: the failure is noted here.
        writeFailed_ = true;
        reply_->abort();
        return;
    }
    // Every piece that arrives is reported (the reply's own progress signal is rate-limited).
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    Q_EMIT progress(file_->size(), length.isValid() ? length.toLongLong() : -1);
}

void Download::replyFinished()
{
    QNetworkReply *reply = reply_;
    reply->deleteLater();
    if (cancelled_)
        return finish(Result::Cancelled);
    if (!refused_.isEmpty())
        return finish(Result::Failed, refused_);
    if (writeFailed_ || file_->error() != QFileDevice::NoError) {
        const QString why = file_->error() != QFileDevice::NoError ? file_->errorString() : QString();
        return finish(Result::Failed, QStringLiteral("磁盘已满或无法写入，下载的文件没有保存") +
                                          (why.isEmpty() ? QString() : QStringLiteral("：") + why));
    }
    if (reply->error() == QNetworkReply::OperationCanceledError)
        return finish(Result::Failed, QStringLiteral("%1 秒内没有收到数据").arg(timeout_ / 1000.0));
    if (reply->error() != QNetworkReply::NoError)
        return finish(Result::Failed, reply->errorString());
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 200)
        return finish(Result::Failed, QStringLiteral("HTTP %1").arg(status));
    readAvailable();
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    // A body that stopped short of its stated length is not the file (a compressed body is counted
    // after decompression, so its length cannot be compared).
    const qint64 stated = length.isValid() ? length.toLongLong() : -1;
    if (stated >= 0 && reply->rawHeader("Content-Encoding").isEmpty() && file_->size() != stated)
        return finish(Result::Failed, QStringLiteral("收到 %1 字节，应为 %2 字节").arg(file_->size()).arg(stated));
    if (!file_->flush())
        return finish(Result::Failed, QStringLiteral("磁盘已满或无法写入，下载的文件没有保存：") + file_->errorString());
    file_->close();
    try {
        output_->commit();
    } catch (const Error &e) {
        return finish(Result::Failed, e.text());
    }
    finish(Result::Done);
}

void Download::finish(Result result, const QString &reason)
{
    // An uncommitted output removes its temporary.
    file_.reset();
    output_.reset();
    result_ = result;
    reason_ = reason;
    Q_EMIT finished();
}

} // namespace tolva::help
