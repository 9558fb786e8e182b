#include "download.h"

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
    if (file_)
        file_->cancelWriting();
}

void Download::start(const QUrl &url, const QString &file)
{
    result_ = Result::Running;
    reason_.clear();
    cancelled_ = false;
    file_ = std::make_unique<QSaveFile>(file);
    if (!file_->open(QIODevice::WriteOnly)) {
        const QString why = file_->errorString();
        // Reported from the event loop, like every other outcome, so callers wait the same way.
        QTimer::singleShot(0, this, [this, why] { finish(Result::Failed, why); });
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(timeout_);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager_.get(request);
    reply_ = reply;
    connect(reply, &QNetworkReply::readyRead, this, &Download::readAvailable);
    connect(reply, &QNetworkReply::finished, this, &Download::replyFinished);
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
    if (file_->error() != QFileDevice::NoError)
        return finish(Result::Failed, file_->errorString());
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
    if (!file_->commit())
        return finish(Result::Failed, file_->errorString());
    finish(Result::Done);
}

void Download::finish(Result result, const QString &reason)
{
    if (file_ && result != Result::Done)
        file_->cancelWriting();
    file_.reset();
    result_ = result;
    reason_ = reason;
    Q_EMIT finished();
}

} // namespace tolva::help
