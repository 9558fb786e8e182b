#include "serversetup.h"
#include "ui_serversetup.h"

#include "store/server.h"
#include "widgets/context.h"
#include "widgets/guard.h"
#include "widgets/numerickey.h"

#include <QIntValidator>
#include <QSettings>
#include <QUrl>

namespace tolva {

namespace {

const QString Key = QStringLiteral("server/address");

} // namespace

QString rememberedServer()
{
    return QSettings(QStringLiteral("tolva"), QStringLiteral("tolva")).value(Key).toString();
}

void rememberServer(const QString &address)
{
    QSettings settings(QStringLiteral("tolva"), QStringLiteral("tolva"));
    if (address.isEmpty())
        settings.remove(Key);
    else
        settings.setValue(Key, address);
}

Tsbserver::Tsbserver(Context &context, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::Tsbserver>()), context_(context)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ui->Edit2->setValidator(new QIntValidator(1, 65535, ui->Edit2));
    const QUrl current(context.store().isServer() ? context.store().options().server : rememberedServer());
    ui->Edit1->setText(current.host());
    ui->Edit2->setText(QString::number(current.port(5432)));
    ui->Edit3->setText(current.path().mid(1).isEmpty() ? QStringLiteral("tolva") : current.path().mid(1));
    ui->Label4->setText(context.store().isServer()
                            ? QStringLiteral("现在使用服务器上的账本：%1").arg(context.store().location())
                            : QStringLiteral("现在使用本机的数据文件：%1").arg(context.store().location()));
    connectGuarded(ui->BitBtn1, &QPushButton::clicked, this, context.interaction(), &Tsbserver::BitBtn1Click);
    connectGuarded(ui->BitBtn3, &QPushButton::clicked, this, context.interaction(), &Tsbserver::BitBtn3Click);
    connectGuarded(ui->BitBtn2, &QPushButton::clicked, this, context.interaction(), &QDialog::reject);
    EnterKeyFilter::moveFocusOn(ui->Edit1);
    EnterKeyFilter::moveFocusOn(ui->Edit2);
    EnterKeyFilter::press(ui->Edit3, ui->BitBtn1);
}

Tsbserver::~Tsbserver() = default;

void Tsbserver::BitBtn1Click()
{
    const QString host = ui->Edit1->text().trimmed();
    const QString database = ui->Edit3->text().trimmed();
    if (host.isEmpty()) {
        context_.interaction().message(this, QStringLiteral("请输入服务器地址！"));
        ui->Edit1->setFocus();
        return;
    }
    if (database.isEmpty()) {
        context_.interaction().message(this, QStringLiteral("请输入数据库名称！"));
        ui->Edit3->setFocus();
        return;
    }
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setHost(host);
    url.setPort(ui->Edit2->text().toInt() > 0 ? ui->Edit2->text().toInt() : 5432);
    url.setPath(QLatin1Char('/') + database);
    if (!url.isValid()) {
        context_.interaction().message(this, QStringLiteral("服务器地址“%1”不正确！").arg(host));
        ui->Edit1->setFocus();
        return;
    }
    Store::Options options = context_.store().options();
    options.server = server::loginAddress(url.toString());
    context_.store().reconnect(options); // a refusal keeps the ledger in use and the window open
    address_ = url.toString();
    rememberServer(address_);
    accept();
}

void Tsbserver::BitBtn3Click()
{
    Store::Options options = context_.store().options();
    options.server.clear();
    context_.store().reconnect(options);
    address_.clear();
    rememberServer(QString());
    accept();
}

} // namespace tolva
