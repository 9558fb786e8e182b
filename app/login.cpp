#include "login.h"
#include "ui_login.h"

#include "store/dataset.h"
#include "widgets/context.h"
#include "widgets/numerickey.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

namespace tolva {

namespace {

// Deletes `name` from `folder`, whatever the letter case of the file's name.
void removeFile(const QDir &folder, const QString &name)
{
    for (const QString &entry : folder.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            QFile::remove(folder.filePath(entry));
}

} // namespace

Tsbpass::Tsbpass(Context &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::Tsbpass>()), context_(context)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("sbpass"));
    // No title-bar buttons: the window cannot be closed from the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    programFolder = QCoreApplication::applicationDirPath();
    endProgram = [] { QCoreApplication::quit(); };

    // The note, in black over a white copy two pixels to its right.
    const QString note = QStringLiteral("初次使用密码为") + Context::defaultPassword() +
                         QStringLiteral("，进入系统后您可以修改密码。");
    ui->Label3->setText(note);
    auto *shadow = new QLabel(note, ui->Label3->parentWidget());
    shadow->setObjectName(QStringLiteral("Label4"));
    shadow->setStyleSheet(QStringLiteral("color: white"));
    shadow->lower();
    ui->Label3->setStyleSheet(QStringLiteral("color: black; background: transparent"));
    ui->Label3->raise();

    ui->combobox1->setEditable(false);
    connect(ui->combobox1, &QComboBox::currentIndexChanged, this, &Tsbpass::combobox1Change);
    connect(ui->combobox1, &QComboBox::activated, this, [this] {
        if (!ui->combobox1->currentText().isEmpty())
            ui->Edit1->setFocus();
    });
    connect(ui->BitBtn1, &QPushButton::clicked, this, &Tsbpass::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &Tsbpass::end);
    EnterKeyFilter::press(ui->Edit1, ui->BitBtn1);

    cleanFolder(context_.folder());
}

Tsbpass::~Tsbpass() = default;

QStringList Tsbpass::workingTables()
{
    return {QStringLiteral("czbtem"), QStringLiteral("czbhz"), QStringLiteral("czbhz1"),
            QStringLiteral("czbtem1"), QStringLiteral("czbnow1"), QStringLiteral("czb")};
}

void Tsbpass::cleanFolder(const QString &path)
{
    const QDir folder(path);
    removeFile(folder, QStringLiteral("revizevar.exe"));
    const QStringList tables = {"czb", "czb1", "czb2", "czbhz", "czbhz1", "czbtem", "czbtem1",
                                "dwm", "sbpass", "sp1", "sp2", "sp3", "sp4", "srf"};
    for (const QString &table : tables)
        for (const char *suffix : {".fam", ".tv", ".px", ".val"})
            removeFile(folder, table + QLatin1String(suffix));
}

void Tsbpass::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (auto *shadow = findChild<QLabel *>(QStringLiteral("Label4")))
        shadow->setGeometry(ui->Label3->geometry().translated(2, 0));
    if (!activated_)
        FormActivate();
}

void Tsbpass::closeEvent(QCloseEvent *event)
{
    // Only "退出(&X)" ends the program from here.
    event->ignore();
}

void Tsbpass::FormActivate()
{
    if (activated_)
        return;
    activated_ = true;
    try {
        housekeeping();
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
    }
    failures_ = 0;
    try {
        fillNames();
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
    }
}

void Tsbpass::housekeeping()
{
    Store &store = context_.store();
    const QDir folder(context_.folder());

    // The installer's clean-up, marked in srf.a2 at every start.
    Dataset srf(store);
    srf.open(QStringLiteral("select * from srf"));
    if (!srf.isEmpty()) {
        srf.edit();
        srf.setValue(QStringLiteral("a2"), QStringLiteral("已经使用"));
        srf.post();
        QDir setup(QDir(programFolder).filePath(QStringLiteral("qh_setup")));
        if (setup.exists()) {
            srf.edit();
            srf.setValue(QStringLiteral("a2"), QStringLiteral("delsetupfile"));
            srf.post();
            setup.removeRecursively();
        }
    }
    for (const char *name : {"qhsetup.exe", "QHSETUP.PJT", "QHSETUP.PJX", "FOXUSER.FPT", "FOXUSER.DBF"})
        removeFile(folder, QString::fromLatin1(name));
    srf.close();

    // The one change of structure: the column where the program's file name is kept.
    Dataset columns(store);
    columns.open(QStringLiteral("select * from srf where 1=0"));
    if (!columns.fieldNames().contains(QStringLiteral("qhsoftnow")))
        store.exec(QStringLiteral("ALTER table srf add Column qhsoftnow char(100)"));
    columns.close();
    context_.reopenSettings();

    // The working tables start empty.
    store.transaction([&] {
        for (const QString &table : workingTables())
            store.emptyTable(table);
    });
}

void Tsbpass::fillNames()
{
    const Rows names = context_.store().select(QStringLiteral("select namea from sbpass.db"));
    filling_ = true;
    ui->combobox1->clear();
    if (names.rows.size() == 1) {
        ui->combobox1->setEnabled(false);
    } else {
        for (const auto &row : names.rows)
            ui->combobox1->addItem(row[0].toString());
        const QVariant a4 = context_.store().scalar(QStringLiteral("select a4 from srf"));
        if (!a4.isNull()) {
            bool ok = false;
            const int index = a4.toString().trimmed().toInt(&ok);
            ui->combobox1->setCurrentIndex(ok && index < ui->combobox1->count() ? index : -1);
        } else {
            ui->combobox1->setCurrentIndex(-1);
        }
    }
    filling_ = false;
    ui->Edit1->setFocus();
}

void Tsbpass::combobox1Change(int index)
{
    if (filling_ || index < 0)
        return;
    // The choice is remembered at once, even when the login then fails.
    try {
        Dataset srf(context_.store());
        srf.open(QStringLiteral("select * from srf"));
        if (srf.isEmpty())
            return;
        srf.edit();
        srf.setValue(QStringLiteral("a4"), QString::number(index));
        srf.post();
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
    }
}

void Tsbpass::BitBtn1Click()
{
    Dataset &user = context_.currentUser();
    try {
        user.close();
        user.open(QStringLiteral("select namea from sbpass.db"));
        const int count = user.rowCount();
        // The typed texts are bound as values, so a quote in them is just a character.
        if (count < 2)
            user.open(QStringLiteral("select * from sbpass.db where passa=:g1"), {{QStringLiteral("g1"), ui->Edit1->text()}});
        else
            user.open(QStringLiteral("select * from sbpass.db where namea=:g1 and passa=:g2"),
                      {{QStringLiteral("g1"), ui->combobox1->currentText()}, {QStringLiteral("g2"), ui->Edit1->text()}});
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
        return;
    }

    if (user.isEmpty()) {
        ++failures_;
        if (failures_ < 3) {
            context_.interaction().message(this, QStringLiteral("密码输入错误！还有") + QString::number(3 - failures_) +
                                                     QStringLiteral("次机会,请重新输入！"));
            ui->Edit1->clear();
            ui->Edit1->setFocus();
        } else {
            end();
        }
        return;
    }
    context_.setUserName(user.text(QStringLiteral("namea")));
    hide();
    Q_EMIT loggedIn();
}

void Tsbpass::end()
{
    if (endProgram)
        endProgram();
}

} // namespace tolva
