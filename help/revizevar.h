#pragma once

#include "download.h"
#include "desktopseam.h"
#include "widgets/screen.h"

#include <memory>

class QLabel;
class QStatusBar;

namespace Ui {
class Trevizevar1;
class Trevizevar2;
} // namespace Ui

namespace tolva {

class ElidedLabel;
class LinkLabel;

// What the two download windows share: the links to the maker, the status bar, and fetching a
// file of the download folder into the working folder while a progress dialog shows how far it got.
class DownloadWindow : public Screen {
    Q_OBJECT
public:
    DownloadWindow(Context &context, help::DesktopSeam *desktop, QWidget *parent);
    ~DownloadWindow() override;

    void FormActivate() override;
    help::DesktopSeam &desktop() const { return *desktop_; }
    // A transfer that receives nothing for this long fails.
    void setTimeout(int milliseconds) { timeout_ = milliseconds; }
    // The key a downloaded archive's signature must verify under; the maker's unless set.
    void setSigningKey(const QByteArray &publicKey) { signingKey_ = publicKey; }
    QByteArray signingKey() const { return signingKey_; }
    // The file F of the working folder, and of the program folder.
    QString working(const QString &file) const;
    QString programs(const QString &file) const;
    // Why the last fetch failed, in the network's words.
    QString lastFailure() const { return reason_; }

protected:
    // `title` in a banner's large type; `gapText` shows the link `gapLink` in its gap; `tell`
    // follows `tellText`.
    void setUpLinks(QLabel *title, QLabel *gapText, LinkLabel *gapLink, QLabel *tellText, LinkLabel *tell,
                    QStatusBar *bar);
    // Fetches `file` of the download folder into the working folder.
    help::Download::Result fetch(const QString &file);
    // Fetches the archive `file` and its signature; Done only when both arrived.
    help::Download::Result fetchSigned(const QString &file);

private:
    std::unique_ptr<help::DesktopSeam> ownDesktop_;
    help::DesktopSeam *desktop_;
    ElidedLabel *panels_[3] = {};
    int timeout_ = 30000;
    QByteArray signingKey_;
    QString reason_;
};

// The online update: fetch the update program, unpack it beside the program, note the program's
// file name for it, end the program and let it run.
class Trevizevar1 : public DownloadWindow {
    Q_OBJECT
public:
    explicit Trevizevar1(Context &context, QWidget *parent = nullptr, help::DesktopSeam *desktop = nullptr);
    ~Trevizevar1() override;

    void BitBtn1Click();
    static QString failure();
    static QString title() { return QStringLiteral("智能升级"); }
    // What the update says where the package manager updates the program.
    static QString byPackageManager();

private:
    std::unique_ptr<Ui::Trevizevar1> ui;
};

// The spoken demonstration: a separate program fetched from the maker on demand and started beside
// this one.
class Trevizevar2 : public DownloadWindow {
    Q_OBJECT
public:
    explicit Trevizevar2(Context &context, QWidget *parent = nullptr, help::DesktopSeam *desktop = nullptr);
    ~Trevizevar2() override;

    void BitBtn1Click();
    void BitBtn3Click();
    static QString ask();
    static QString arrived();
    static QString failure();

private:
    bool fetchGuide();
    bool unpackGuide();
    void startGuide();

    std::unique_ptr<Ui::Trevizevar2> ui;
};

} // namespace tolva
