#include "mainmenu.h"

#include "widgets/context.h"
#include "widgets/guard.h"
#include "widgets/statusmirror.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace tolva {

namespace {

struct MenuItem {
    const char *name;
    const char *caption; // nullptr: a separator
};

// The menu bar, in order: each submenu with its items; "—" entries are separators.
const QList<QPair<MenuItem, QList<MenuItem>>> &menuTable()
{
    static const QList<QPair<MenuItem, QList<MenuItem>>> table = {
        {{"N1", "数据维护(&W)"},
         {{"N11", "(&1)数据录入"}, {nullptr, nullptr}, {"N23", "(&2)维修费结算单"}, {nullptr, nullptr},
          {"N32", "(&3)报废赔偿结算单"}, {nullptr, nullptr}, {"N21", "(&4)合同号管理"}, {nullptr, nullptr},
          {"N7", "(&5)租赁材料名称管理"}, {nullptr, nullptr}, {"N61", "(&6)押金数据录入"}, {nullptr, nullptr},
          {"N71", "(&7)租金数据录入"}, {nullptr, nullptr}, {"N81", "(&8)材料规格"}}},
        {{"T1", "数据统计(&T)"},
         {{"N14", "(&1)客户租赁结算单"}, {nullptr, nullptr}, {"N24", "(&2)材料分布表统计"}, {nullptr, nullptr},
          {"N33", "(&3)租赁费结算汇总表"}, {nullptr, nullptr}, {"N42", "(&4)客户租赁材料结余量汇总表"},
          {nullptr, nullptr}, {"N41", "(&5)库存数据统计"}, {nullptr, nullptr}, {"N63", "(&6)客户租赁明细统计"}}},
        {{"N15", "系统维护(&S)"},
         {{"N01", "(&0)更换用户名"}, {nullptr, nullptr}, {"N17", "(&1)密码修改"}, {nullptr, nullptr},
          {"N22", "(&2)选择输入法"}, {nullptr, nullptr}, {"N31", "(&3)单位名称设置"}, {nullptr, nullptr},
          {"N43", "(&4)选择明细表打印格式及计算方法"}, {nullptr, nullptr}, {"N62", "(&5)数据备份与恢复"},
          {nullptr, nullptr}, {"N44", "(&6)操作日志查询"}}},
        {{"H1", "帮助(&H)"},
         {{"N110", "(&1)帮助信息"}, {nullptr, nullptr}, {"N210", "(&2)软件操作步骤演示(带语音)"}, {nullptr, nullptr},
          {"A1", "(&3)关于..."}, {nullptr, nullptr}, {"N35", "(&4)在线升级..."}}},
    };
    return table;
}

} // namespace

Tsbmain::Tsbmain(Context &context, QWidget *parent)
    : QMainWindow(parent), context_(context), timer_(new QTimer(this))
{
    setObjectName(QStringLiteral("sbmain"));
    // Which data the clerk works on, always in view.
    setWindowTitle(QStringLiteral("青禾软件开发中心—主菜单 — ") + QDir::toNativeSeparators(context.folder()));
    // exit(), not quit(): quit() first asks every window to close, and the hidden login refuses.
    endProgram = [] { QCoreApplication::exit(0); };
    build();

    auto *bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(bar);
    StatusMirror::addPanels(bar, panels_);

    timer_->setObjectName(QStringLiteral("Timer1"));
    timer_->setInterval(1000);
    connectGuarded(timer_, &QTimer::timeout, this, context_.interaction(), &Tsbmain::Timer1Timer);
    timer_->start();
}

Tsbmain::~Tsbmain() = default;

void Tsbmain::build()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    for (const auto &[head, entries] : menuTable()) {
        QMenu *menu = bar->addMenu(QString::fromUtf8(head.caption));
        menu->setObjectName(QString::fromLatin1(head.name));
        menu->menuAction()->setObjectName(QString::fromLatin1(head.name));
        for (const MenuItem &entry : entries) {
            if (!entry.name) {
                menu->addSeparator();
                continue;
            }
            QAction *action = menu->addAction(QString::fromUtf8(entry.caption));
            const QString name = QString::fromLatin1(entry.name);
            action->setObjectName(name);
            action->setEnabled(false);
            connectGuarded(action, &QAction::triggered, this, context_.interaction(), [this, name] { open(name); });
            items_.insert(name, action);
        }
    }
    QAction *exit = bar->addAction(QStringLiteral("退 出(&X)"));
    exit->setObjectName(QStringLiteral("N3"));
    connectGuarded(exit, &QAction::triggered, this, context_.interaction(), &QWidget::close);
    items_.insert(QStringLiteral("N3"), exit);
}

QAction *Tsbmain::item(const QString &name) const
{
    return items_.value(name);
}

void Tsbmain::setScreen(const QString &item, Screen screen)
{
    screens_.insert(item, std::move(screen));
    if (QAction *action = items_.value(item))
        action->setEnabled(true);
}

bool Tsbmain::contractsExist()
{
    if (!context_.store().select(QStringLiteral("select * from sp2")).isEmpty())
        return true;
    context_.interaction().message(this, QStringLiteral("请进入合同号管理系统，将客户名称和相关资料输入后方可进入！"));
    return false;
}

bool Tsbmain::administrator()
{
    if (context_.mayAdminister())
        return true;
    context_.interaction().message(this, QStringLiteral("只有管理员才能进行数据备份与恢复！您不是管理员,无权使用本功能!") +
                                             QLatin1Char('\n') + QStringLiteral("请以管理员的身份登陆方可使用!"));
    return false;
}

void Tsbmain::open(const QString &item)
{
    bool opened = false;
    guard(context_.interaction(), this, [&] {
        if ((item == QLatin1String("N61") || item == QLatin1String("N71")) && !contractsExist())
            return;
        if (item == QLatin1String("N62") && !administrator())
            return;
        // The change log is for those who change data or administer them.
        if (item == QLatin1String("N44") && !context_.mayEdit() && !context_.mayAdminister()) {
            context_.interaction().message(this, QStringLiteral("只有录入或管理权限的用户才能查询操作日志！"));
            return;
        }
        const Screen screen = screens_.value(item);
        if (!screen)
            return;
        const std::unique_ptr<QDialog> dialog = screen(this);
        if (!dialog)
            return;
        opened = true;
        context_.interaction().exec(dialog.get());
    });
    // The menu is the active window again.
    if (opened)
        FormActivate();
}

void Tsbmain::FormActivate()
{
    guard(context_.interaction(), this, [this] {
        context_.reopenSettings();
        Dataset &srf = context_.settings();
        if (!srf.isEmpty() && srf.number(QStringLiteral("b1")) > 2) {
            srf.edit();
            srf.setValue(QStringLiteral("b1"), 0);
            srf.post();
        }
    });
}

QString Tsbmain::clockText(const QDateTime &now)
{
    static const char *const weekdays[] = {" 星期一", " 星期二", " 星期三", " 星期四", " 星期五", " 星期六", " 星期日"};
    const QDate d = now.date();
    const QTime t = now.time();
    return QStringLiteral("%1年%2月%3日  %4:%5:%6")
               .arg(d.year())
               .arg(d.month())
               .arg(d.day())
               .arg(t.hour())
               .arg(t.minute())
               .arg(t.second()) +
           QString::fromUtf8(weekdays[d.dayOfWeek() - 1]);
}

QString Tsbmain::fixedText()
{
    return QStringLiteral("专业从事财务,进销存,报表,仓库,工资,档案等软件开发业务.更新软件请访问:") + Context::webAddress();
}

void Tsbmain::Timer1Timer()
{
    StatusTexts s;
    s.user = QStringLiteral("当前用户名:") + context_.userName();
    s.fixed = fixedText();
    s.clock = clockText(context_.now());
    context_.setStatus(s);
    panels_[0]->setFullText(s.user);
    panels_[1]->setFullText(s.fixed);
    panels_[2]->setFullText(s.clock);
}

void Tsbmain::closeEvent(QCloseEvent *event)
{
    if (!ending_) {
        ending_ = true;
        // The online update finds the running program's file name here.
        guard(context_.interaction(), this, [this] {
            context_.reopenSettings();
            Dataset &srf = context_.settings();
            if (!srf.isEmpty() && srf.hasField(QStringLiteral("qhsoftnow"))) {
                srf.edit();
                srf.setValue(QStringLiteral("qhsoftnow"), Context::programFileName());
                srf.post();
            }
        });
    }
    event->accept();
    if (endProgram)
        endProgram();
}

} // namespace tolva
