#include "backupscreen.h"
#include "ui_backupscreen.h"

#include "backuprules.h"
#include "widgets/context.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace tolva {

using namespace backup;

namespace {

// Shows the wait cursor while the window works; the window blocks meanwhile.
struct Busy {
    Busy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Busy() { QApplication::restoreOverrideCursor(); }
};

// When an archive was made, as a Chinese desktop writes a date and time: "2026年12月10日 20:17".
QString localStamp(const QDateTime &when)
{
    return when.toString(QStringLiteral("yyyy'年'M'月'd'日' HH:mm"));
}

} // namespace

Tsbrestor::Tsbrestor(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tsbrestor>())
{
    ui->setupUi(this);
    setUpFrame(nullptr, false);
    on(ui->check1_0, &QRadioButton::toggled, &Tsbrestor::check1Click);
    on(ui->btn3, &QPushButton::clicked, [this] {
        ui->btn3->setEnabled(false);
        guard([this] { btn3Click(); }); // the button comes back whatever happens
        ui->btn3->setEnabled(true);
    });
    on(ui->btn_close, &QPushButton::clicked, &QDialog::accept);
}

Tsbrestor::~Tsbrestor()
{
    // A window that goes without being closed still gives the program its result sets back.
    if (opened_ && !closed_) {
        closed_ = true;
        try {
            closingSteps();
        } catch (...) {
        }
    }
}

void Tsbrestor::FormActivate()
{
    // Once per opening: a second activation would find the current user already closed.
    if (opened_)
        return;
    opened_ = true;
    Dataset &user = context().currentUser();
    savedUser_ = user.isOpen() && !user.isEmpty() ? user.text(QStringLiteral("namea")) : QString();
    for (Dataset *d : {&context().titles(), &context().settings(), &user}) {
        if (d->isEditing())
            d->cancel();
        d->close();
    }
    ui->check2->setVisible(QFileInfo(photoFolder(context().folder())).isDir());
    stamp_ = context().today().toString(QStringLiteral("yyyyMMdd"));
    folderName_ = proposedName(context().folder(), context().today()).chopped(stamp_.size());
}

void Tsbrestor::check1Click()
{
    ui->btn3->setText(ui->check1_1->isChecked() ? QStringLiteral("恢复(&R)") : QStringLiteral("备份(&B)"));
}

bool Tsbrestor::withPhotos() const
{
    return !ui->check2->isHidden() && ui->check2_1->isChecked();
}

void Tsbrestor::btn3Click()
{
    if (ui->check1_1->isChecked())
        restoreData();
    else
        backupData();
}

void Tsbrestor::backupData()
{
    Interaction &ask = context().interaction();
    const QString chosen = ask.saveFileName(this, QStringLiteral("数据备份"),
                                            QDir(context().folder()).filePath(folderName_ + stamp_), filter());
    if (chosen.isEmpty())
        return;
    const QString archive = archivePath(chosen);
    // The old archive is replaced only once the new one is complete.
    if (QFileInfo::exists(archive) && !confirm(QStringLiteral("备份文件已经存在,是否覆盖？？")))
        return;
    Outcome written;
    {
        Busy busy;
        written = writeBackup(context().store(), archive);
    }
    if (!accepted(written))
        return;
    if (withPhotos()) {
        QStringList failures;
        {
            Busy busy;
            failures = copyPhotos(photoFolder(context().folder()), photoCopy(chosen));
        }
        if (!failures.isEmpty())
            message(failures.join(QLatin1Char('\n')));
    }
    compactTables(context().store(), [this](const QString &reason) {
        Q_UNUSED(reason);
        return context().interaction().confirm(this, QStringLiteral("以独占方式打开数据库时,出现错误---重试否?"),
                                               QStringLiteral("数据库错误"));
    });
    message(QStringLiteral("数据已备份完毕！"));
}

void Tsbrestor::restoreData()
{
    Interaction &ask = context().interaction();
    const QString chosen = ask.openFileName(this, QStringLiteral("数据恢复"), context().folder(), filter());
    if (chosen.isEmpty())
        return;
    const QDateTime made = QFileInfo(chosen).lastModified();
    if (!confirm(QStringLiteral("您现在恢复的是[") + localStamp(made) + QStringLiteral("]备份的数据，") +
                 QLatin1Char('\n') + QStringLiteral("系统将覆盖当前数据，是否确定？")))
        return;
    Outcome restored;
    {
        Busy busy;
        restored = restoreArchive(context().folder(), chosen, context().now(), &context().store());
    }
    // A failed restore leaves the photos as they are too.
    if (!accepted(restored))
        return;
    if (withPhotos()) {
        const QString from = (chosen.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive) ? chosen.chopped(4) : chosen) +
                             QStringLiteral("phot");
        // Without the copy there is nothing to put in place of the current photos: they stay.
        if (!QFileInfo(from).isDir()) {
            message(QStringLiteral("找不到图片文件夹“") + QDir::toNativeSeparators(from) +
                    QStringLiteral("”，图片没有恢复。"));
        } else {
            QStringList failures;
            {
                Busy busy;
                failures = copyPhotos(from, photoFolder(context().folder()));
            }
            if (!failures.isEmpty())
                message(failures.join(QLatin1Char('\n')));
        }
    }
    message(QStringLiteral("数据已恢复完毕！"));
}

void Tsbrestor::closingSteps()
{
    Dataset &titles = context().titles();
    titles.close();
    titles.open(QStringLiteral("select * from dwm"));
    context().reopenSettings();
    Dataset &user = context().currentUser();
    user.close();
    user.open(QStringLiteral("select * from sbpass where namea=:g1"), {{QStringLiteral("g1"), savedUser_}});
}

void Tsbrestor::done(int result)
{
    if (opened_ && !closed_) {
        closed_ = true;
        guard([this] { closingSteps(); });
    }
    Screen::done(result);
}

void backupAtClose(Context &context)
{
    if (context.userName().isEmpty())
        return;
    try {
        const Outcome o = dailyBackup(context.store(), context.today());
        if (!o)
            context.interaction().message(nullptr, o.message());
    } catch (...) {
        // Closing goes on whatever happens here.
    }
}

} // namespace tolva
