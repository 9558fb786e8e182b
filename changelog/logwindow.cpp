#include "logwindow.h"

#include "export/exportaction.h"
#include "printing/printaction.h"
#include "widgets/context.h"
#include "widgets/datagrid.h"
#include "widgets/datefield.h"
#include "widgets/progressdialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace tolva {

namespace {

QString all() { return QStringLiteral("全部"); }

} // namespace

Trzbcx::Trzbcx(Context &context, QWidget *parent)
    : Screen(context, parent), d1_(new DateField(this)), d2_(new DateField(this)), user_(new QComboBox(this)),
      table_(new QComboBox(this)), contract_(new QLineEdit(this)), find_(new QPushButton(QStringLiteral("查询(&Q)"), this)),
      print_(new QPushButton(QStringLiteral("打印(&P)"), this)), exit_(new QPushButton(QStringLiteral("退出(&X)"), this)),
      grid_(new DataGrid(this)), status_(new QStatusBar(this)), changes_(context.store())
{
    setObjectName(QStringLiteral("rzbcx"));
    setWindowTitle(QStringLiteral("操作日志查询"));
    d1_->setObjectName(QStringLiteral("d1"));
    d2_->setObjectName(QStringLiteral("d2"));
    user_->setObjectName(QStringLiteral("ComboBox1"));
    table_->setObjectName(QStringLiteral("ComboBox2"));
    contract_->setObjectName(QStringLiteral("Edit1"));
    find_->setObjectName(QStringLiteral("btn1_add"));
    print_->setObjectName(QStringLiteral("BitBtn1"));
    exit_->setObjectName(QStringLiteral("btn1_exit"));
    grid_->setObjectName(QStringLiteral("DBGrid1"));
    status_->setObjectName(QStringLiteral("StatusBar1"));

    auto *title = new QLabel(QStringLiteral("操作日志查询"), this);
    QFont big = title->font();
    big.setPointSize(16);
    big.setBold(true);
    title->setFont(big);
    title->setAlignment(Qt::AlignCenter);

    auto *filters = new QGridLayout;
    const auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    filters->addWidget(label(QStringLiteral("日期从(&1)"), d1_), 0, 0);
    filters->addWidget(d1_, 0, 1);
    filters->addWidget(label(QStringLiteral("到(&2)"), d2_), 0, 2);
    filters->addWidget(d2_, 0, 3);
    filters->addWidget(label(QStringLiteral("用户(&3)"), user_), 0, 4);
    filters->addWidget(user_, 0, 5);
    filters->addWidget(label(QStringLiteral("合同号(&4)"), contract_), 0, 6);
    filters->addWidget(contract_, 0, 7);
    filters->addWidget(label(QStringLiteral("数据表(&5)"), table_), 0, 8);
    filters->addWidget(table_, 0, 9);
    filters->addWidget(find_, 0, 10);
    filters->addWidget(print_, 0, 11);
    filters->addWidget(exit_, 0, 12);
    filters->setColumnStretch(13, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(filters);
    layout->addWidget(grid_, 1);
    layout->addWidget(status_);

    table_->addItem(all(), QString());
    for (const changelog::TableCaption &t : changelog::tableCaptions())
        table_->addItem(t.caption, t.table);
    grid_->setColumns({{QStringLiteral("sj"), QStringLiteral("时间"), QString(), Qt::AlignLeft, 140},
                       {QStringLiteral("yh"), QStringLiteral("用户"), QString(), Qt::AlignLeft, 80},
                       {QStringLiteral("bm"), QStringLiteral("数据表"), QString(), Qt::AlignLeft, 120},
                       {QStringLiteral("cz"), QStringLiteral("操作"), QString(), Qt::AlignCenter, 50},
                       {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 80},
                       {QStringLiteral("nr"), QStringLiteral("修改内容"), QString(), Qt::AlignLeft, 700}});
    grid_->setDataset(&changes_);
    excel::offerExport(context, this);
    setUpFrame(status_, true);
    enterChain({d1_, d2_, user_, contract_, table_}, find_);

    const QDate today = context.today();
    d1_->setDate(QDate(today.year(), today.month(), 1));
    d2_->setDate(today);

    connect(find_, &QPushButton::clicked, this, &Trzbcx::btn1_addClick);
    connect(print_, &QPushButton::clicked, this, &Trzbcx::BitBtn1Click);
    connect(exit_, &QPushButton::clicked, this, &QDialog::close);
}

void Trzbcx::FormActivate()
{
    // The users the log names now, the one chosen kept, then the changes: both read the whole
    // log, under one progress.
    find(true);
    context().applyInputMethod({contract_});
}

changelog::LogFilter Trzbcx::filter() const
{
    changelog::LogFilter f;
    f.from = d1_->date();
    f.to = d2_->date();
    f.user = user_->currentIndex() > 0 ? user_->currentText() : QString();
    f.contract = contract_->text().trimmed();
    f.table = table_->currentData().toString();
    return f;
}

void Trzbcx::btn1_addClick()
{
    find(false);
}

void Trzbcx::find(bool users)
{
    if (!d1_->takeTyped() || !d2_->takeTyped())
        return; // the field tells why
    guard([this, users] {
        grid_->setDataset(nullptr);
        changes_.close();
        print_->setEnabled(false);
        const QString chosen = user_->currentIndex() > 0 ? user_->currentText() : QString();
        QStringList logged;
        changelog::LogFilter f = filter();
        int found = 0;
        const bool done = runHeld(
            this, {windowTitle(), QStringLiteral("正在查找操作日志……"), 100, QStringLiteral("progress")},
            {d1_, d2_, user_, table_, contract_, find_, print_, exit_, grid_}, [&](const Progress &progress) {
                if (users) {
                    logged = changelog::loggedUsers(context().store(), progress);
                    if (!logged.contains(chosen))
                        f.user.clear(); // that user is in the log no more: all of them
                }
                found = changelog::findChanges(context().store(), f, progress);
            });
        if (users) {
            user_->clear();
            user_->addItem(all());
            user_->addItems(logged);
            user_->setCurrentIndex(std::max(0, user_->findText(chosen)));
        }
        if (!done)
            return; // cancelled: nothing shown
        // The log of a busy month is long: the grid reads the rows it shows.
        changes_.openPaged(QStringLiteral("rzbtem"));
        grid_->setDataset(&changes_);
        print_->setEnabled(found > 0);
    });
}

void Trzbcx::hideEvent(QHideEvent *event)
{
    Screen::hideEvent(event);
    // The changes of a busy month stay in rzbtem until the next search, which would first have to
    // drop them: they go as the window closes.
    if (!event->spontaneous() && changes_.isOpen()) {
        guard([this] {
            grid_->setDataset(nullptr);
            changes_.close();
            print_->setEnabled(false);
            context().store().emptyTable(QStringLiteral("rzbtem"));
        });
    }
}

void Trzbcx::BitBtn1Click()
{
    guard([this] {
        const changelog::LogFilter f = filter();
        QStringList range{QStringLiteral("日期：%1 至 %2").arg(f.from.toString(QStringLiteral("yyyy年M月d日")),
                                                                 f.to.toString(QStringLiteral("yyyy年M月d日")))};
        if (!f.user.isEmpty())
            range << QStringLiteral("用户：") + f.user;
        if (!f.contract.isEmpty())
            range << QStringLiteral("合同号：") + f.contract;
        if (!f.table.isEmpty())
            range << QStringLiteral("数据表：") + changelog::tableCaption(f.table);
        report::Sources sources;
        sources.datasets.insert(QStringLiteral("Query1"), &changes_);
        const QString text = range.join(QStringLiteral("  "));
        sources.hook = [text](const QString &name, report::MemoState &) -> std::optional<QVariant> {
            if (name.compare(QLatin1String("range"), Qt::CaseInsensitive) == 0)
                return QVariant(text);
            return std::nullopt;
        };
        printAction(context(), this, changes_, grid_, report::Template::load(QStringLiteral("changelog")), sources);
    });
}

} // namespace tolva
