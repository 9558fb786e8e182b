#pragma once

#include "base/outputfile.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

class QNetworkReply;

namespace tolva::help {

// One file fetched over HTTP with one request, asynchronously. The body is written to a temporary
// file beside the target (an OutputFile), which replaces an existing file of that name, a link
// included, only once the whole body arrived; a failure, a time-out or a cancel leaves the target
// as it was. Only https is fetched
// (plain http from the loopback address alone), and a redirect only to the same host and port.
class Download : public QObject {
    Q_OBJECT
public:
    enum class Result { Running, Done, Failed, Cancelled };

    explicit Download(QObject *parent = nullptr);
    ~Download() override;
    Q_DISABLE_COPY(Download)

    // A transfer that receives nothing for this long fails.
    void setTimeout(int milliseconds) { timeout_ = milliseconds; }
    void start(const QUrl &url, const QString &file);
    void cancel();

    Result result() const { return result_; }
    // Why an address is not fetched from, or an empty text when it may be.
    static QString refusal(const QUrl &url);
    // Why it failed, for the person's eyes (the network's or the file's own words).
    QString reason() const { return reason_; }

Q_SIGNALS:
    void progress(qint64 received, qint64 total);
    void finished();

private:
    void readAvailable();
    void redirected(const QUrl &url);
    void replyFinished();
    void finish(Result result, const QString &reason = QString());

    QNetworkAccessManager manager_;
    QPointer<QNetworkReply> reply_;
    std::unique_ptr<OutputFile> output_;
    std::unique_ptr<QFile> file_;
    int timeout_ = 30000;
    bool cancelled_ = false;
    bool writeFailed_ = false;
    QUrl url_;
    QString refused_;
    Result result_ = Result::Running;
    QString reason_;
};

} // namespace tolva::help
