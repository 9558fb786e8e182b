#include "revizevar.h"
#include "ui_revizevar1.h"
#include "ui_revizevar2.h"

#include "labels.h"
#include "signature.h"
#include "updaterules.h"

#include "widgets/context.h"
#include "widgets/progressdialog.h"
#include "widgets/statusmirror.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>

namespace tolva {

using help::Download;

DownloadWindow::DownloadWindow(Context &context, help::DesktopSeam *desktop, QWidget *parent)
    : Screen(context, parent), ownDesktop_(desktop ? nullptr : std::make_unique<help::DesktopSeam>()),
      desktop_(desktop ? desktop : ownDesktop_.get()), signingKey_(help::makerKey())
{
}

DownloadWindow::~DownloadWindow() = default;

void DownloadWindow::setUpLinks(QLabel *title, QLabel *gapText, LinkLabel *gapLink, QLabel *tellText,
                                LinkLabel *tell, QStatusBar *bar)
{
    QFont big = title->font();
    big.setPointSize(16);
    big.setBold(true);
    title->setFont(big);
    setUpFrame(nullptr, false);
    setFixedSize(size());
    for (LinkLabel *link : {gapLink, tell})
        link->setNormalColor(Qt::blue);
    placeLink(gapText, gapLink);
    placeLink(tellText, tell);
    on(gapLink, &LinkLabel::clicked, [this] { context().interaction().open(help::homePage()); });
    on(tell, &LinkLabel::clicked, [this] { context().interaction().open(help::mailTo()); });
    StatusMirror::addPanels(bar, panels_);
    // A narrow window: the middle panel takes what its text needs, so the third one stays in view.
    const QString middle = QStringLiteral("最新信息及软件更新请访问青禾主页:") + Context::webAddress();
    panels_[1]->setFixedWidth(panels_[1]->fontMetrics().horizontalAdvance(middle) + 12);
    panels_[2]->setMinimumWidth(0);
    panels_[2]->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void DownloadWindow::FormActivate()
{
    panels_[0]->setFullText(QStringLiteral("青禾软件为您服务"));
    panels_[1]->setFullText(QStringLiteral("最新信息及软件更新请访问青禾主页:") + Context::webAddress());
}

QString DownloadWindow::working(const QString &file) const
{
    return QDir(context().folder()).filePath(file);
}

QString DownloadWindow::programs(const QString &file) const
{
    return QDir(desktop_->programFolder()).filePath(file);
}

Download::Result DownloadWindow::fetch(const QString &file)
{
    Download download;
    download.setTimeout(timeout_);
    const QString address = help::downloadUrl(file).toString();
    const auto receive = [&](const Progress &progress) {
        QEventLoop loop;
        connect(&download, &Download::progress, &loop, [&](qint64 received, qint64 total) {
            // Bytes as they arrive; a server that does not say the size shows a moving bar.
            progress(total > 0 ? int(received * 1000 / total) : 0, total > 0 ? 1000 : 0,
                     total > 0 ? QStringLiteral("正在下载 %1\n已收到 %2 / %3 字节").arg(address).arg(received).arg(total)
                               : QStringLiteral("正在下载 %1\n已收到 %2 字节").arg(address).arg(received));
        });
        connect(&download, &Download::finished, &loop, &QEventLoop::quit);
        download.start(help::downloadUrl(file), working(file));
        if (download.result() == Download::Result::Running)
            loop.exec();
    };
    runWithProgress(this, {windowTitle(), QStringLiteral("正在下载 %1").arg(address), 300, QStringLiteral("progress")},
                    receive, [&download] { download.cancel(); });
    reason_ = download.reason();
    // The message keeps the wording the clerks know; the network's own reason stays in view here.
    if (download.result() == Download::Result::Failed)
        panels_[2]->setFullText(QStringLiteral("下载失败：") + reason_);
    else if (download.result() == Download::Result::Done)
        panels_[2]->setFullText(QStringLiteral("下载完成：") + file);
    else
        panels_[2]->setFullText(QStringLiteral("已取消下载：") + file);
    return download.result();
}

Download::Result DownloadWindow::fetchSigned(const QString &file)
{
    const Download::Result archive = fetch(file);
    if (archive != Download::Result::Done)
        return archive;
    const Download::Result signature = fetch(help::signatureOf(file));
    // An archive without its signature is of no use: the next attempt fetches both again.
    if (signature != Download::Result::Done)
        QFile::remove(working(file));
    return signature;
}

// ---- online update ----

Trevizevar1::Trevizevar1(Context &context, QWidget *parent, help::DesktopSeam *desktop)
    : DownloadWindow(context, desktop, parent), ui(std::make_unique<Ui::Trevizevar1>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Trevizevar1"));
    setWindowTitle(QStringLiteral("青禾软件在线升级(%1)").arg(Context::webAddress()));
    setUpLinks(ui->Panel1, ui->Label11, ui->Label12, ui->Label13, ui->Label14, ui->StatusBar1);
    on(ui->BitBtn1, &QPushButton::clicked, &Trevizevar1::BitBtn1Click);
    on(ui->BitBtn2, &QPushButton::clicked, &QDialog::reject);
}

Trevizevar1::~Trevizevar1() = default;

QString Trevizevar1::failure()
{
    return QStringLiteral("连接服务器失败,无法下载升级文件,") + QLatin1Char('\n') +
           QStringLiteral("请检查您是否可以连接internet！或者升级文件不存在!");
}

QString Trevizevar1::byPackageManager()
{
    return QStringLiteral("本软件由系统的软件包管理器安装，也由它升级，这里不下载程序。") + QLatin1Char('\n') +
           QStringLiteral("请使用系统的软件更新，或在终端中运行：") + QLatin1Char('\n') +
           QStringLiteral("sudo apt update && sudo apt upgrade");
}

void Trevizevar1::BitBtn1Click()
{
    // A program of the package manager is replaced by it alone: nothing is fetched or noted.
    if (desktop().packageManaged()) {
        context().interaction().message(this, byPackageManager(), title());
        return;
    }
    const Download::Result fetched = fetchSigned(help::updateZip());
    if (fetched == Download::Result::Cancelled)
        return;
    if (fetched != Download::Result::Done) {
        context().interaction().message(this, failure(), title());
        return;
    }
    const QString zip = working(help::updateZip());
    if (QFile::exists(zip)) {
        const Outcome unpacked = help::unpackDownload(zip, desktop().programFolder(), signingKey());
        if (!unpacked) {
            context().interaction().message(this, unpacked.message(), title());
            return;
        }
    }
    if (!accepted(help::recordProgramName(context().store(), Context::programFileName())))
        return;
    context().reopenSettings();
    desktop().endProgram(programs(help::updateProgram()));
}

// ---- spoken demonstration ----

Trevizevar2::Trevizevar2(Context &context, QWidget *parent, help::DesktopSeam *desktop)
    : DownloadWindow(context, desktop, parent), ui(std::make_unique<Ui::Trevizevar2>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Trevizevar2"));
    setUpLinks(ui->Panel1, ui->Label11, ui->Label12, ui->Label13, ui->Label14, ui->StatusBar1);
    on(ui->BitBtn1, &QPushButton::clicked, &Trevizevar2::BitBtn1Click);
    on(ui->BitBtn3, &QPushButton::clicked, &Trevizevar2::BitBtn3Click);
    on(ui->BitBtn2, &QPushButton::clicked, &QDialog::reject);
}

Trevizevar2::~Trevizevar2() = default;

QString Trevizevar2::ask()
{
    return QStringLiteral("您需要演示的文件不存在,青禾将自动为您下载。") + QLatin1Char('\n') +
           QStringLiteral("下载速度将取决与您的网络连接,下载文件大约4M左右。") + QLatin1Char('\n') +
           QStringLiteral("是否现在下载？");
}

QString Trevizevar2::arrived()
{
    return QStringLiteral("下载完成,现在您可以使用带语音的软件操作步骤演示程序！");
}

QString Trevizevar2::failure()
{
    return QStringLiteral("连接服务器失败,无法下载演示文件:") + help::downloadUrl(help::guideZip()).toString() +
           QLatin1Char('\n') + QStringLiteral("请检查您是否可以连接internet！或者演示文件不存在!");
}

bool Trevizevar2::fetchGuide()
{
    const Download::Result fetched = fetchSigned(help::guideZip());
    if (fetched == Download::Result::Done)
        return true;
    if (fetched == Download::Result::Failed)
        message(failure());
    return false;
}

bool Trevizevar2::unpackGuide()
{
    const QString zip = working(help::guideZip());
    if (!QFile::exists(zip))
        return true;
    return accepted(help::unpackDownload(zip, desktop().programFolder(), signingKey()));
}

void Trevizevar2::startGuide()
{
    const QString program = programs(help::guideProgram());
    if (!desktop().start(program))
        message(QStringLiteral("无法启动演示程序 %1").arg(QDir::toNativeSeparators(program)));
}

void Trevizevar2::BitBtn1Click()
{
    if (!QFile::exists(programs(help::guideProgram()))) {
        if (!confirm(ask()) || !fetchGuide())
            return;
        message(arrived());
    }
    if (!unpackGuide())
        return;
    startGuide();
}

void Trevizevar2::BitBtn3Click()
{
    message(QStringLiteral("如果演示程序正在运行,请先关闭后再升级！"));
    if (desktop().running(programs(help::guideProgram()))) {
        message(QStringLiteral("您需要升级的程序正在使用,请先关闭后再升级！"));
        return;
    }
    QFile::remove(working(help::guideZip()));
    QFile::remove(working(help::signatureOf(help::guideZip())));
    if (!fetchGuide() || !unpackGuide())
        return;
    message(arrived());
    startGuide();
}

} // namespace tolva
