#pragma once

#include <QHash>
#include <QtTest>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

// A small HTTP server on the loopback address, serving files from memory, for the download tests:
// whole files, missing ones (404), bodies cut short of their stated length, answers that stall and
// redirects. It also answers as a proxy (a request for a full address is served by its path), so
// that addresses of other hosts reach it.
class HttpServer : public QObject {
    Q_OBJECT
public:
    enum class Mode { Whole, Truncated, Stall, StallMidway, Redirect };
    struct File {
        QByteArray body;
        Mode mode = Mode::Whole;
    };

    HttpServer()
    {
        QVERIFY(server_.listen(QHostAddress::LocalHost));
        connect(&server_, &QTcpServer::newConnection, this, &HttpServer::accept);
    }

    void serve(const QString &path, const QByteArray &body, Mode mode = Mode::Whole) { files_[path] = {body, mode}; }
    // Answers a request for `path` with a redirect to `location`.
    void redirect(const QString &path, const QString &location) { files_[path] = {location.toUtf8(), Mode::Redirect}; }
    quint16 port() const { return server_.serverPort(); }
    // The download folder's address on this server.
    QString folder() const { return QStringLiteral("http://127.0.0.1:%1/qhfile/").arg(server_.serverPort()); }
    // Requests received, by path.
    QHash<QString, int> requests;
    int requestCount() const
    {
        int n = 0;
        for (int c : requests)
            n += c;
        return n;
    }
    // Stops listening, so the next request is refused.
    void stop()
    {
        server_.close();
        for (QTcpSocket *s : std::as_const(open_))
            s->abort();
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = server_.nextPendingConnection()) {
            open_ << socket;
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        }
    }
    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = buffers_[socket];
        buffer += socket->readAll();
        if (!buffer.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> line = buffer.left(buffer.indexOf("\r\n")).split(' ');
        buffer.clear();
        const QString path = line.size() > 1 ? QUrl(QString::fromLatin1(line[1])).path() : QString();
        requests[path]++;
        const auto it = files_.constFind(path);
        if (it == files_.constEnd()) {
            const QByteArray body = "<html>not found</html>";
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: " +
                          QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
            return;
        }
        const File &file = *it;
        if (file.mode == Mode::Stall)
            return;
        if (file.mode == Mode::Redirect) {
            socket->write("HTTP/1.1 302 Found\r\nLocation: " + file.body +
                          "\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
            socket->disconnectFromHost();
            return;
        }
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nConnection: close\r\nContent-Length: " +
                                QByteArray::number(file.body.size()) + "\r\n\r\n";
        if (file.mode == Mode::Whole) {
            socket->write(head + file.body);
            socket->disconnectFromHost();
        } else {
            socket->write(head + file.body.left(file.body.size() / 2));
            socket->flush();
            if (file.mode == Mode::Truncated)
                socket->disconnectFromHost();
        }
    }

    QTcpServer server_;
    QHash<QString, File> files_;
    QHash<QTcpSocket *, QByteArray> buffers_;
    QList<QTcpSocket *> open_;
};
