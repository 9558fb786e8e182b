#include "materials.h"
#include "ui_materials.h"

#include "widgets/context.h"
#include "widgets/dbfields.h"
#include "widgets/maintenance.h"
#include "widgets/numerickey.h"


namespace tolva {

namespace {
const QString Name = QStringLiteral("namea");
}

Tsp1::Tsp1(Context &context, QWidget *parent)
    : MaintenanceDialog(parent), ui(std::make_unique<Ui::Tsp1>()), context_(context), query1_(context.store())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("sp1"));

    ui->DBGrid1->setColumns({{QStringLiteral("namea"), QStringLiteral("材料名称"), QString(), Qt::AlignLeft, 140},
                             {QStringLiteral("dj"), QStringLiteral("单价"), QStringLiteral("#0.0000;-#0.0000;#"),
                              Qt::AlignRight, 100},
                             {QStringLiteral("Kc"), QStringLiteral("库存期初数"), QStringLiteral("#0.00;-#0.00;#"),
                              Qt::AlignRight, 110},
                             {QStringLiteral("numsb"), QStringLiteral("小数位数"), QStringLiteral("0"), Qt::AlignRight, 80}});
    ui->DBGrid1->gridModel()->setTitleColour(Qt::blue);
    ui->DBGrid1->setDataset(&query1_);
    ui->DBEdit1->bind(&query1_, QStringLiteral("dj"), QStringLiteral("#0.0000;-#0.0000;#"));
    ui->DBEdit2->bind(&query1_, QStringLiteral("Kc"), QStringLiteral("#0.00;-#0.00;#"));
    ui->Edit1->setReadOnly(true);
    // The name may hold 10 GBK bytes: longer input is not accepted.
    ui->Edit1->setValidator(new GbkLengthValidator(10, ui->Edit1));
    ui->check1->setEnabled(false);

    for (QWidget *field : {static_cast<QWidget *>(ui->Edit1), static_cast<QWidget *>(ui->DBEdit1),
                           static_cast<QWidget *>(ui->DBEdit2)})
        EnterKeyFilter::moveFocusOn(field);
    NumericKeyFilter::install(ui->DBEdit1, NumericKeyFilter::Sign::Leading);
    NumericKeyFilter::install(ui->DBEdit2, NumericKeyFilter::Sign::Leading);

    buttons_ = new MaintenanceButtons(ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit, context_.interaction(), this);
    setMaintenance(buttons_, true, false);
    buttons_->setLists({ui->DBGrid1});
    buttons_->setFields({ui->Edit1, ui->DBEdit1, ui->DBEdit2, ui->check1});
    buttons_->startEdit = [this] { return btn1_editClick(); };
    buttons_->startAdd = [this] { return btn1_addClick(); };
    buttons_->save = [this] { return save(); };
    buttons_->cancel = [this] { cancel(); };
    buttons_->remove = [this] { btn1_delClick(); };
    buttons_->isEmpty = [this] { return query1_.isEmpty(); };
    connect(ui->btn1_exit, &QPushButton::clicked, this, &QDialog::accept);

    connect(&query1_, &Dataset::currentChanged, this, [this] {
        if (buttons_->mode() == MaintenanceButtons::Mode::Idle)
            showCurrent();
    });
}

Tsp1::~Tsp1() = default;




void Tsp1::FormActivate()
{
    if (buttons_->mode() != MaintenanceButtons::Mode::Idle)
        return;
    buttons_->setMayEdit(context_.mayEdit());
    try {
        query1_.close();
        query1_.open(QStringLiteral("select * from sp1"));
        if (!query1_.isEmpty())
            query1_.last();
        showCurrent();
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
    }
    context_.applyInputMethod({ui->Edit1});
    buttons_->refresh();
}

int Tsp1::decimals() const
{
    for (int i = 0; i < 5; ++i)
        if (findChild<QRadioButton *>(QStringLiteral("check1_%1").arg(i))->isChecked())
            return i;
    return 0;
}

void Tsp1::setDecimals(int index)
{
    if (auto *b = findChild<QRadioButton *>(QStringLiteral("check1_%1").arg(qBound(0, index, 4))))
        b->setChecked(true);
}

void Tsp1::showCurrent()
{
    if (query1_.isEmpty() || query1_.currentRow() < 0) {
        ui->Edit1->clear();
        return;
    }
    ui->Edit1->setText(query1_.text(Name));
    setDecimals(int(query1_.number(QStringLiteral("numsb"))));
}

bool Tsp1::btn1_editClick()
{
    query1_.edit();
    ui->Edit1->setReadOnly(false);
    ui->Edit1->setFocus();
    return true;
}

bool Tsp1::btn1_addClick()
{
    if (query1_.rowCount() >= MaxMaterials) {
        context_.interaction().message(this, QStringLiteral("材料名称只能控制在15个以内,无法再添加！"));
        return false;
    }
    query1_.append();
    query1_.setValue(QStringLiteral("dj"), 0.0);
    query1_.setValue(QStringLiteral("kc"), 0.0);
    setDecimals(0);
    ui->Edit1->clear();
    ui->Edit1->setReadOnly(false);
    ui->Edit1->setFocus();
    return true;
}

bool Tsp1::save()
{
    Store &store = context_.store();
    const QString typed = ui->Edit1->text();
    const QString name = typed.trimmed();
    if (name.isEmpty()) {
        context_.interaction().message(this, QStringLiteral("没有输入数据，无法保存！"));
        return false;
    }

    if (buttons_->mode() == MaintenanceButtons::Mode::Editing) {
        const QVariant price = query1_.value(QStringLiteral("dj"));
        if (price.isNull() || price.toDouble() == 0) {
            context_.interaction().message(this, QStringLiteral("单价必须输入！"));
            ui->DBEdit1->setFocus();
            return false;
        }
        const QString stored = query1_.text(Name);
        // Another material of that name: the pending changes go.
        const int same = store.scalar(QStringLiteral("select count(*) from sp1 where namea=:g1"), {{"g1", name}}).toInt();
        if (same > 0 && stored.trimmed() != name) {
            return buttons_->discard(this, QStringLiteral("有重复的数据，无法保存！"));
        }
        // The rename reaches every copy of the name, with the row itself, all or nothing.
        store.transaction([&] {
            if (stored != typed) {
                const Params names{{QStringLiteral("g1"), name}, {QStringLiteral("g2"), stored.trimmed()}};
                for (const char *table : {"czb1", "czb2", "sp5", "czbnow"})
                    store.exec(QStringLiteral("update %1 set namea=:g1 where namea=:g2").arg(QLatin1String(table)), names);
            }
            query1_.setValue(QStringLiteral("numsb"), decimals());
            query1_.setValue(Name, typed);
            query1_.post();
        });
        return true;
    }

    const int same = store.scalar(QStringLiteral("select count(*) from sp1 where namea=:g1"), {{"g1", typed}}).toInt();
    if (same > 0) {
        return buttons_->discard(this, QStringLiteral("有重复的数据存在，无法保存！"));
    }
    query1_.setValue(Name, typed);
    query1_.setValue(QStringLiteral("numsb"), decimals());
    query1_.post();
    return true;
}

void Tsp1::cancel()
{
    query1_.cancel();
    showCurrent();
}

void Tsp1::btn1_delClick()
{
    if (!buttons_->confirmRemoval(this, query1_.isEmpty(), query1_.isEmpty() ? QString() : query1_.text(Name)))
        return;
    Store &store = context_.store();
    const Params name{{QStringLiteral("g1"), ui->Edit1->text()}};
    if (store.scalar(QStringLiteral("select count(*) from czbnow where namea=:g1"), name).toInt() != 0 ||
        store.scalar(QStringLiteral("select count(*) from sp5 where namea=:g1"), name).toInt() != 0) {
        context_.interaction().message(this, QStringLiteral("数据库中有数据存在，无法删除！"));
        return;
    }
    query1_.remove();
    showCurrent();
}

} // namespace tolva
