#include "sizes.h"
#include "ui_sizes.h"

#include "printing/printaction.h"
#include "widgets/context.h"
#include "widgets/maintenance.h"
#include "widgets/numerickey.h"


namespace tolva {

Tsp5::Tsp5(Context &context, QWidget *parent)
    : MaintenanceDialog(parent), ui(std::make_unique<Ui::Tsp5>()), context_(context), materials_(context.store()),
      query1_(context.store()), report_(context.store())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("sp5"));

    ui->DBGrid1->setColumns({{QStringLiteral("namea"), QStringLiteral("材料名称"), QString(), Qt::AlignLeft, 150}});
    ui->DBGrid1->setDataset(&materials_);
    ui->DBGrid2->setColumns({{QStringLiteral("Gg"), QStringLiteral("规格"), QString(), Qt::AlignLeft, 110},
                             {QStringLiteral("Dw"), QStringLiteral("单位"), QString(), Qt::AlignCenter, 60},
                             {QStringLiteral("Dw1"), QStringLiteral("换算单位"), QString(), Qt::AlignCenter, 80},
                             {QStringLiteral("Bl"), QStringLiteral("换算比率"), QStringLiteral("#0.000000;#0.000000;#"),
                              Qt::AlignRight, 110}});
    ui->DBGrid2->setDataset(&query1_);
    ui->DBEdit1->bind(&query1_, QStringLiteral("Gg"));
    ui->DBEdit2->bind(&query1_, QStringLiteral("Dw"));
    ui->DBEdit3->bind(&query1_, QStringLiteral("Dw1"));
    ui->DBEdit4->bind(&query1_, QStringLiteral("Bl"), QStringLiteral("#0.000000;#0.000000;#"));
    for (QWidget *field : {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4})
        EnterKeyFilter::moveFocusOn(field);
    NumericKeyFilter::install(ui->DBEdit4);

    buttons_ = new MaintenanceButtons(ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit, context_.interaction(), this);
    setMaintenance(buttons_, true, false);
    buttons_->setLists({ui->DBGrid1, ui->DBGrid2, ui->btn1_print});
    buttons_->startEdit = [this] { return btn1_editClick(); };
    buttons_->startAdd = [this] { return btn1_addClick(); };
    buttons_->save = [this] { return save(); };
    buttons_->cancel = [this] { query1_.cancel(); };
    buttons_->remove = [this] { btn1_delClick(); };
    buttons_->isEmpty = [this] { return query1_.isEmpty(); };
    buttons_->afterAction = [this] {
        // Without a material there is nothing to add to.
        if (buttons_->mode() == MaintenanceButtons::Mode::Idle)
            ui->btn1_add->setEnabled(!materials_.isEmpty());
    };
    connect(ui->btn1_exit, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btn1_print, &QPushButton::clicked, this, &Tsp5::btn1_printClick);
    connect(&materials_, &Dataset::currentChanged, this, [this] {
        if (buttons_->mode() == MaintenanceButtons::Mode::Idle && materials_.isOpen())
            openSpecifications();
    });
}

Tsp5::~Tsp5() = default;




QString Tsp5::material() const
{
    return materials_.isEmpty() || materials_.currentRow() < 0 ? QString() : materials_.text(QStringLiteral("namea"));
}

void Tsp5::FormActivate()
{
    if (buttons_->mode() != MaintenanceButtons::Mode::Idle)
        return;
    buttons_->setMayEdit(context_.mayEdit());
    try {
        materials_.close();
        materials_.open(QStringLiteral("select * from sp1"));
        openSpecifications();
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
    }
    for (QWidget *field : {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4})
        context_.applyInputMethod(field, inputMethod());
}

void Tsp5::openSpecifications()
{
    query1_.close();
    query1_.open(QStringLiteral("select * from sp5 where namea=:g1"), {{QStringLiteral("g1"), material()}});
    buttons_->refresh();
}

bool Tsp5::btn1_editClick()
{
    old_.gg = query1_.text(QStringLiteral("gg"));
    old_.dw = query1_.text(QStringLiteral("dw"));
    old_.dw1 = query1_.text(QStringLiteral("dw1"));
    old_.bl = query1_.value(QStringLiteral("bl"));
    query1_.edit();
    ui->DBEdit1->setFocus();
    return true;
}

bool Tsp5::btn1_addClick()
{
    if (materials_.isEmpty())
        return false;
    QString gg, dw, dw1;
    if (!query1_.isEmpty()) {
        gg = query1_.text(QStringLiteral("gg"));
        dw = query1_.text(QStringLiteral("dw"));
        dw1 = query1_.text(QStringLiteral("dw1"));
    }
    query1_.append();
    query1_.setValue(QStringLiteral("namea"), material());
    query1_.setValue(QStringLiteral("gg"), gg);
    query1_.setValue(QStringLiteral("dw"), dw);
    query1_.setValue(QStringLiteral("dw1"), dw1);
    ui->DBEdit1->setFocus();
    return true;
}

bool Tsp5::complete() const
{
    const QVariant bl = query1_.value(QStringLiteral("bl"));
    return !ui->DBEdit1->text().trimmed().isEmpty() && !ui->DBEdit2->text().trimmed().isEmpty() &&
           !ui->DBEdit3->text().trimmed().isEmpty() && !bl.isNull() && bl.toDouble() != 0;
}

bool Tsp5::save()
{
    if (!complete()) {
        context_.interaction().message(this, QStringLiteral("数据输入不完整，无法保存！"));
        return false;
    }
    Store &store = context_.store();
    const QString gg = ui->DBEdit1->text().trimmed();
    if (buttons_->mode() == MaintenanceButtons::Mode::Adding) {
        const int same =
            store.scalar(QStringLiteral("select count(*) from sp5 where gg=:g1"), {{"g1", ui->DBEdit1->text()}}).toInt();
        if (same > 0) {
            return buttons_->discard(this, QStringLiteral("有重复的数据存在，无法保存！"));
        }
        query1_.post();
        return true;
    }

    const QString name = material();
    const int same = store.scalar(QStringLiteral("select count(*) from sp5 where gg=:g1 and namea=:g2"),
                                  {{"g1", gg}, {"g2", name}})
                         .toInt();
    if (same > 0 && gg != old_.gg.trimmed()) {
        return buttons_->discard(this, QStringLiteral("有重复的数据，无法保存！"));
    }
    // The movements of the whole material that carry an old value take the new one, with the row.
    store.transaction([&] {
        const QVariant bl = query1_.value(QStringLiteral("bl"));
        if (bl.toDouble() != old_.bl.toDouble())
            store.exec(QStringLiteral("update czbnow set bl=:g1 where bl=:g2 and namea=:g3"),
                       {{"g1", bl.toDouble()}, {"g2", old_.bl.toDouble()}, {"g3", name}});
        const QList<QPair<QString, QString>> texts = {{QStringLiteral("gg"), old_.gg},
                                                      {QStringLiteral("dw"), old_.dw},
                                                      {QStringLiteral("dw1"), old_.dw1}};
        const QStringList typed = {gg, ui->DBEdit2->text().trimmed(), ui->DBEdit3->text().trimmed()};
        for (int i = 0; i < texts.size(); ++i) {
            if (query1_.text(texts[i].first) == texts[i].second)
                continue;
            store.exec(QStringLiteral("update czbnow set %1=:g1 where %1=:g2 and namea=:g3").arg(texts[i].first),
                       {{"g1", typed[i]}, {"g2", texts[i].second}, {"g3", name}});
        }
        query1_.post();
    });
    return true;
}

void Tsp5::btn1_delClick()
{
    if (!buttons_->confirmRemoval(this, query1_.isEmpty(), query1_.isEmpty() ? QString() : query1_.text(QStringLiteral("namea"))))
        return;
    const int used = context_.store()
                         .scalar(QStringLiteral("select count(*) from czbnow where gg=:g1"), {{"g1", ui->DBEdit1->text()}})
                         .toInt();
    if (used != 0) {
        context_.interaction().message(this, QStringLiteral("数据库中有数据，无法删除！"));
        return;
    }
    query1_.remove();
}

void Tsp5::btn1_printClick()
{
    try {
        report_.close();
        report_.open(QStringLiteral("select * from sp5 order by namea,gg"));
        report::Sources sources;
        sources.datasets.insert(QStringLiteral("Query3"), &report_);
        // The list prints from its own result set, so the grids stay as they are.
        printAction(context_, this, report_, nullptr, report::Template::load(QStringLiteral("sizelist")), sources);
    } catch (const StoreError &e) {
        context_.interaction().error(this, e.text());
    } catch (const report::ReportError &e) {
        context_.interaction().error(this, e.message());
    }
}

} // namespace tolva
