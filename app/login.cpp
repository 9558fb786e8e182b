#include "login.h"
#include "ui_login.h"

#include "serversetup.h"
#include "startup.h"
#include "store/dataset.h"
#include "users/userrules.h"
#include "widgets/context.h"
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
    : Screen(context, parent), ui(std::make_unique<Ui::Tsbpass>()), context_(context)
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("sbpass"));
    // No title-bar buttons and no Escape; a message in between keeps the count of tries.
    setUpFrame(nullptr, false, Closing::ExitButtonOnly, Activation::OncePerOpening);
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
    on(ui->combobox1, &QComboBox::currentIndexChanged, &Tsbpass::combobox1Change);
    MouseChoiceFilter::moveFocusOn(ui->combobox1, ui->Edit1);
    on(ui->BitBtn1, &QPushButton::clicked, &Tsbpass::BitBtn1Click);
    on(ui->BitBtn2, &QPushButton::clicked, &Tsbpass::end);
    on(ui->BitBtn3, &QPushButton::clicked, &Tsbpass::BitBtn3Click);
    EnterKeyFilter::press(ui->Edit1, ui->BitBtn1);
}

Tsbpass::~Tsbpass() = default;

void Tsbpass::showEvent(QShowEvent *event)
{
    if (auto *shadow = findChild<QLabel *>(QStringLiteral("Label4")))
        shadow->setGeometry(ui->Label3->geometry().translated(2, 0));
    Screen::showEvent(event); // the frame's activation: FormActivate
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
    guard([this] { housekeeping(); });
    failures_ = 0;
    guard([this] { fillNames(); });
}

void Tsbpass::housekeeping()
{
    // The tables are written before the login on the folder's file; on a server only a clerk may
    // write, after his login.
    startUpHousekeeping(context_.store(), context_.folder(), programFolder);
    if (!context_.store().isServer())
        context_.reopenSettings(); // with the column the housekeeping may have added
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
    Dataset srf(context_.store());
    srf.open(QStringLiteral("select * from srf"));
    users::rememberNamePosition(srf, index);
}

void Tsbpass::BitBtn1Click()
{
    Dataset &user = context_.currentUser();
    const bool onServer = context_.store().isServer();
    bool refused = false;
    try {
        // On a server the server checks the password: it is the clerk's own login.
        refused = !users::logIn(user, ui->combobox1->currentText(), ui->Edit1->text());
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
    if (onServer && !guard([this] {
            prepareTables(context_.store());
            context_.reopenSettings();
        }))
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
    guard([this] {
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
