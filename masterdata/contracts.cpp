#include "contracts.h"
#include "ui_contracts.h"

#include "contractsearch.h"
#include "printing/printaction.h"
#include "widgets/context.h"
#include "widgets/maintenance.h"
#include "widgets/numerickey.h"
#include "widgets/statusmirror.h"


namespace tolva {

namespace {
const QString Settled = QStringLiteral("是");
const QString Open = QStringLiteral("否");
} // namespace

Tsp2::Tsp2(Context &context, QWidget *parent)
    : MaintenanceDialog(parent), ui(std::make_unique<Ui::Tsp2>()), context_(context), query1_(context.store())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("sp2"));
    new StatusMirror(ui->StatusBar1, context_);

    ui->DBGrid1->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 200},
                             {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 100},
                             {QStringLiteral("jz"), QStringLiteral("是否结帐"), QString(), Qt::AlignCenter, 70},
                             {QStringLiteral("begina"), QStringLiteral("租赁开始日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 100},
                             {QStringLiteral("enda"), QStringLiteral("租赁结束日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 100}});
    ui->DBGrid1->setDataset(&query1_);
    ui->DBEdit1->bind(&query1_, QStringLiteral("khm"));
    ui->DBEdit2->bind(&query1_, QStringLiteral("numa"));
    ui->box1->addItems({Settled, Open});
    ui->box1->bind(&query1_, QStringLiteral("jz"));
    for (QWidget *w : {static_cast<QWidget *>(ui->DBEdit1), static_cast<QWidget *>(ui->DBEdit2),
                       static_cast<QWidget *>(ui->box1), static_cast<QWidget *>(ui->d1), static_cast<QWidget *>(ui->d2)})
        EnterKeyFilter::moveFocusOn(w);
    ui->d1->setEnabled(false);
    ui->d2->setEnabled(false);
    // Until a contract is shown, the pickers show today.
    ui->d1->setDate(context_.today());
    ui->d2->setDate(context_.today());

    buttons_ = new MaintenanceButtons(ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit, context_.interaction(), this);
    setMaintenance(buttons_, false, true);
    buttons_->setLists({ui->DBGrid1, ui->btn1_print});
    buttons_->startEdit = [this] { return btn1_editClick(); };
    buttons_->startAdd = [this] { return btn1_addClick(); };
    buttons_->save = [this] { return save(); };
    buttons_->cancel = [this] { cancel(); };
    buttons_->remove = [this] { btn1_delClick(); };
    buttons_->isEmpty = [this] { return query1_.isEmpty(); };
    buttons_->afterAction = [this] {
        const bool editing = buttons_->mode() != MaintenanceButtons::Mode::Idle;
        const bool settled = query1_.currentRow() >= 0 && query1_.text(QStringLiteral("jz")) == Settled;
        ui->d1->setEnabled(editing && !settled);
        ui->d2->setEnabled(editing && !settled);
    };

    connect(ui->btn1_exit, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btn1_print, &QPushButton::clicked, this, &Tsp2::btn1_printClick);
    connect(ui->Edit1, &QLineEdit::textChanged, this, &Tsp2::Edit1Change);
    connect(&query1_, &Dataset::currentChanged, this, [this] {
        if (buttons_->mode() == MaintenanceButtons::Mode::Idle)
            showDates();
    });
    connect(ui->box1, &QComboBox::currentTextChanged, this, &Tsp2::settledChanged);
    connect(ui->d1, &QDateEdit::dateChanged, this, &Tsp2::writeDates);
    connect(ui->d2, &QDateEdit::dateChanged, this, &Tsp2::writeDates);
}

Tsp2::~Tsp2() = default;



void Tsp2::FormActivate()
{
    if (buttons_->mode() != MaintenanceButtons::Mode::Idle)
        return;
    buttons_->setMayEdit(context_.mayEdit());
    if (!context_.mayEdit())
        ui->Edit1->setFocus();
    try {
        query1_.close();
        query1_.open(QStringLiteral("select * from sp2"));
        if (!query1_.isEmpty())
            query1_.last();
        showDates();
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
    }
    context_.applyInputMethod({ui->DBEdit1, ui->Edit1});
    buttons_->refresh();
}

void Tsp2::showDates()
{
    if (query1_.currentRow() < 0)
        return;
    showing_ = true;
    const QDate begin = query1_.date(QStringLiteral("begina"));
    const QDate end = query1_.date(QStringLiteral("enda"));
    if (begin.isValid())
        ui->d1->setDate(begin);
    if (end.isValid())
        ui->d2->setDate(end);
    showing_ = false;
}

void Tsp2::writeDates()
{
    if (showing_ || !query1_.isEditing())
        return;
    query1_.setValue(QStringLiteral("begina"), ui->d1->date());
    query1_.setValue(QStringLiteral("enda"), ui->d2->date());
}

void Tsp2::settledChanged()
{
    if (buttons_->mode() == MaintenanceButtons::Mode::Idle)
        return;
    // A settled contract's period cannot change.
    const bool settled = ui->box1->currentText() == Settled;
    ui->d1->setEnabled(!settled);
    ui->d2->setEnabled(!settled);
}

void Tsp2::Edit1Change()
{
    try {
        openContracts(query1_, ui->Edit1->text());
        buttons_->refresh();
        showDates();
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
    }
}

bool Tsp2::btn1_editClick()
{
    oldKhm_ = query1_.text(QStringLiteral("khm"));
    oldNuma_ = query1_.text(QStringLiteral("numa"));
    query1_.edit();
    ui->DBEdit1->setFocus();
    return true;
}

bool Tsp2::btn1_addClick()
{
    query1_.append();
    query1_.setValue(QStringLiteral("jz"), Open);
    query1_.setValue(QStringLiteral("a1"), QStringLiteral("其它"));
    query1_.setValue(QStringLiteral("a2"), 0.0);
    query1_.setValue(QStringLiteral("begina"), ui->d1->date());
    query1_.setValue(QStringLiteral("enda"), ui->d2->date());
    ui->DBEdit1->setFocus();
    return true;
}

bool Tsp2::save()
{
    if (!(ui->d2->date() > ui->d1->date())) {
        context_.interaction().message(this, QStringLiteral("开始日期不应该大于等于截止日期，请重新输入！"));
        return false;
    }
    const QString khm = ui->DBEdit1->text().trimmed();
    const QString numa = ui->DBEdit2->text().trimmed();
    if (khm.isEmpty() || numa.isEmpty()) {
        context_.interaction().message(this, QStringLiteral("没有输入数据，无法保存！"));
        return false;
    }
    Store &store = context_.store();
    if (buttons_->mode() == MaintenanceButtons::Mode::Adding) {
        const int same =
            store.scalar(QStringLiteral("select count(*) from sp2 where numa=:g1"), {{"g1", ui->DBEdit2->text()}}).toInt();
        if (same > 0) {
            return buttons_->discard(this, QStringLiteral("有重复的数据存在，无法保存！"));
        }
        writeDates();
        query1_.post();
        return true;
    }

    // The period must hold the movements already entered under the contract's stored number.
    const Params period{{QStringLiteral("g1"), oldNuma_}, {QStringLiteral("g2"), ui->d1->date()},
                        {QStringLiteral("g3"), ui->d2->date()}};
    if (store.scalar(QStringLiteral("select count(*) from czbnow where numa=:g1 and datea<:g2"), period).toInt() > 0) {
        context_.interaction().message(this, QStringLiteral("您输入的开始日期大于数据库中已保存数据的日期，无法保存！"));
        return false;
    }
    if (store.scalar(QStringLiteral("select count(*) from czbnow where numa=:g1 and datea>:g3"), period).toInt() > 0) {
        context_.interaction().message(this, QStringLiteral("您输入的截止日期小于数据库中已保存数据的日期，无法保存！"));
        return false;
    }
    const int same = store.scalar(QStringLiteral("select count(*) from sp2 where numa=:g1"), {{"g1", numa}}).toInt();
    if (same > 0 && oldNuma_.trimmed() != numa) {
        return buttons_->discard(this, QStringLiteral("有重复的数据，无法保存！"));
    }
    // The copies of the name and number change with the row, all or nothing.
    store.transaction([&] {
        const QStringList tables = {QStringLiteral("czb1"), QStringLiteral("czb2"), QStringLiteral("czbnow"),
                                    QStringLiteral("sp4"), QStringLiteral("sp3")};
        if (khm != oldKhm_.trimmed())
            for (const QString &table : tables)
                store.exec(QStringLiteral("update %1 set khm=:g1 where khm=:g2").arg(table),
                           {{"g1", khm}, {"g2", oldKhm_.trimmed()}});
        if (numa != oldNuma_.trimmed())
            for (const QString &table : tables)
                store.exec(QStringLiteral("update %1 set numa=:g1 where numa=:g2").arg(table),
                           {{"g1", numa}, {"g2", oldNuma_.trimmed()}});
        writeDates();
        query1_.post();
    });
    return true;
}

void Tsp2::cancel()
{
    query1_.cancel();
    showDates();
}

void Tsp2::btn1_delClick()
{
    if (query1_.currentRow() >= 0 && query1_.text(QStringLiteral("jz")) == Open) {
        context_.interaction().message(this, QStringLiteral("该客户还未结帐,无法删除!"));
        return;
    }
    if (query1_.isEmpty()) {
        context_.interaction().message(this, QStringLiteral("无记录可删除！"));
        return;
    }
    if (!context_.interaction().confirm(this, QStringLiteral("真的要删除[") + query1_.text(QStringLiteral("khm")) +
                                                  QStringLiteral("]这个数据吗？")))
        return;
    Store &store = context_.store();
    const Params numa{{QStringLiteral("g1"), ui->DBEdit2->text()}};
    if (store.scalar(QStringLiteral("select count(*) from czbnow where numa=:g1"), numa).toInt() == 0) {
        query1_.remove();
        showDates();
        return;
    }
    if (!context_.interaction().confirm(
            this, QStringLiteral("数据库中有数据，如果您选择确定删除，将删除当前客户的所有数据")))
        return;
    // The movements and payments go with the contract; its repair and compensation lines stay.
    store.transaction([&] {
        for (const char *table : {"czbnow", "sp4", "sp3"})
            store.exec(QStringLiteral("delete from %1 where numa=:g1").arg(QLatin1String(table)), numa);
        query1_.remove();
    });
    showDates();
}

void Tsp2::btn1_printClick()
{
    try {
        report::Sources sources;
        sources.datasets.insert(QStringLiteral("Query1"), &query1_);
        printAction(context_, this, query1_, ui->DBGrid1, report::Template::load(QStringLiteral("contracts")), sources);
    } catch (const report::ReportError &e) {
        context_.interaction().error(this, e.message());
    }
}

} // namespace tolva
