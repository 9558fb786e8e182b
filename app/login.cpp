#include "login.h"
#include "ui_login.h"

#include "serversetup.h"
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
#include <QSettings>

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

const QString NamePositionKey = QStringLiteral("login/a4");

// The position of the name last chosen at this desk, for the list of a server's clerks.
QVariant rememberedNamePosition()
{
    return QSettings(QStringLiteral("tolva"), QStringLiteral("tolva")).value(NamePositionKey);
}

void rememberNamePosition(int index)
{
    QSettings(QStringLiteral("tolva"), QStringLiteral("tolva")).setValue(NamePositionKey, QString::number(index));
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
    connect(ui->BitBtn3, &QPushButton::clicked, this, &Tsbpass::BitBtn3Click);
    EnterKeyFilter::press(ui->Edit1, ui->BitBtn1);
}

Tsbpass::~Tsbpass() = default;

QStringList Tsbpass::workingTables()
{
    return Store::workingTables();
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

    // The installer's clean-up, marked in srf.a2 at every start (on a server the mark is the
    // yard's, not this desk's, and is left alone).
    const bool onServer = store.isServer();
    Dataset srf(store);
    srf.open(QStringLiteral("select * from srf"));
    if (!srf.isEmpty() && !onServer) {
        srf.edit();
        srf.setValue(QStringLiteral("a2"), QStringLiteral("已经使用"));
        srf.post();
    }
    QDir setup(QDir(programFolder).filePath(QStringLiteral("qh_setup")));
    if (setup.exists()) {
        if (!srf.isEmpty() && !onServer) {
            srf.edit();
            srf.setValue(QStringLiteral("a2"), QStringLiteral("delsetupfile"));
            srf.post();
        }
        setup.removeRecursively();
    }
    for (const char *name : {"qhsetup.exe", "QHSETUP.PJT", "QHSETUP.PJX", "FOXUSER.FPT", "FOXUSER.DBF"})
        removeFile(context_.folder(), QString::fromLatin1(name));
    srf.close();
    if (!onServer)
        tableHousekeeping();
}

void Tsbpass::tableHousekeeping()
{
    Store &store = context_.store();
    // The one change of structure: the column where the program's file name is kept (a server
    // is set up with it).
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
    // On a server every clerk signs in by name: his password is his own server password.
    const bool onServer = context_.store().isServer();
    if (names.rows.size() == 1 && !onServer) {
        ui->combobox1->setEnabled(false);
    } else {
        ui->combobox1->setEnabled(true);
        for (const auto &row : names.rows)
            ui->combobox1->addItem(row[0].toString());
        const QVariant a4 = onServer ? rememberedNamePosition()
                                     : context_.store().scalar(QStringLiteral("select a4 from srf"));
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
    // The choice is remembered at once, even when the login then fails; on a server by this desk.
    if (context_.store().isServer()) {
        rememberNamePosition(index);
        return;
    }
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
    const bool onServer = context_.store().isServer();
    bool refused = false;
    try {
        user.close();
        if (onServer) {
            // The server checks the password: it is the clerk's own login.
            try {
                context_.store().logIn(ui->combobox1->currentText(), ui->Edit1->text());
                user.open(QStringLiteral("select * from sbpass.db where namea=:g1"),
                          {{QStringLiteral("g1"), ui->combobox1->currentText()}});
                refused = user.isEmpty();
            } catch (const ConnectionError &e) {
                if (e.reason() != ConnectionError::Reason::Password)
                    throw;
                refused = true;
            }
        } else {
            user.open(QStringLiteral("select namea from sbpass.db"));
            const int count = user.rowCount();
            // The typed texts are bound as values, so a quote in them is just a character.
            if (count < 2)
                user.open(QStringLiteral("select * from sbpass.db where passa=:g1"), {{QStringLiteral("g1"), ui->Edit1->text()}});
            else
                user.open(QStringLiteral("select * from sbpass.db where namea=:g1 and passa=:g2"),
                          {{QStringLiteral("g1"), ui->combobox1->currentText()}, {QStringLiteral("g2"), ui->Edit1->text()}});
            refused = user.isEmpty();
        }
    } catch (const Error &e) {
        context_.interaction().error(this, e.text());
        return;
    }

    if (refused) {
        user.close();
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
    if (onServer && !guard(context_.interaction(), this, [this] { tableHousekeeping(); }))
        return;
    context_.setUserName(user.text(QStringLiteral("namea")));
    hide();
    Q_EMIT loggedIn();
}

void Tsbpass::BitBtn3Click()
{
    Tsbserver setup(context_, this);
    if (context_.interaction().exec(&setup) != QDialog::Accepted)
        return;
    guard(context_.interaction(), this, [this] {
        context_.reopenSettings();
        failures_ = 0;
        fillNames();
    });
}

void Tsbpass::end()
{
    ending_ = true;
    if (endProgram)
        endProgram();
}

} // namespace tolva
