#include "login.h"
#include "ui_login.h"

#include "startup.h"
#include "store/dataset.h"
#include "widgets/context.h"
#include "widgets/guard.h"
#include "widgets/numerickey.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QProxyStyle>

namespace tolva {

namespace {

// Shows every typed character of a password as "*", whatever the desktop's style would draw.
class StarEcho : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returned) const override
    {
        if (hint == QStyle::SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

} // namespace

Tsbpass::Tsbpass(Context &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::Tsbpass>()), context_(context)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("sbpass"));
    // No title-bar buttons: the window cannot be closed from the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    programFolder = QCoreApplication::applicationDirPath();
    // exit(), not quit(): quit() first asks every window to close, and this one refuses.
    endProgram = [] { QCoreApplication::exit(0); };
    auto *echo = new StarEcho;
    echo->setParent(ui->Edit1);
    ui->Edit1->setStyle(echo);
    ui->Edit1->setEchoMode(QLineEdit::Password);

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
    MouseChoiceFilter::moveFocusOn(ui->combobox1, ui->Edit1);
    connect(ui->BitBtn1, &QPushButton::clicked, this, &Tsbpass::BitBtn1Click);
    connect(ui->BitBtn2, &QPushButton::clicked, this, &Tsbpass::end);
    EnterKeyFilter::press(ui->Edit1, ui->BitBtn1);
}

Tsbpass::~Tsbpass() = default;

QStringList Tsbpass::workingTables()
{
    return {QStringLiteral("czbtem"), QStringLiteral("czbhz"), QStringLiteral("czbhz1"),
            QStringLiteral("czbtem1"), QStringLiteral("czbnow1"), QStringLiteral("czb")};
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
    // Only "退出(&X)" and the third failure end the program from here.
    if (ending_)
        event->accept();
    else
        event->ignore();
}

void Tsbpass::FormActivate()
{
    if (activated_)
        return;
    activated_ = true;
    guard(context_.interaction(), this, [this] { housekeeping(); });
    failures_ = 0;
    guard(context_.interaction(), this, [this] { fillNames(); });
}

void Tsbpass::housekeeping()
{
    Store &store = context_.store();

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
        removeFile(context_.folder(), QString::fromLatin1(name));
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
            // A position the list does not have (a user was removed, the text is no number) is
            // the first name.
            bool ok = false;
            const int index = a4.toString().trimmed().toInt(&ok);
            ui->combobox1->setCurrentIndex(ok && index >= 0 && index < ui->combobox1->count() ? index : 0);
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
    guard(context_.interaction(), this, [this, index] {
        Dataset srf(context_.store());
        srf.open(QStringLiteral("select * from srf"));
        if (srf.isEmpty())
            return;
        srf.edit();
        srf.setValue(QStringLiteral("a4"), QString::number(index));
        srf.post();
    });
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
    } catch (const Error &e) {
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
    ending_ = true;
    if (endProgram)
        endProgram();
}

} // namespace tolva
