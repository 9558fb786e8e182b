#include "sizes.h"
#include "ui_sizes.h"

#include "printing/printaction.h"
#include "export/exportaction.h"
#include "widgets/context.h"
#include "widgets/numerickey.h"


namespace tolva {

Tsp5::Tsp5(Context &context, QWidget *parent)
    : MaintenanceScreen(context, parent), ui(std::make_unique<Ui::Tsp5>()), materials_(context.store()),
      query1_(context.store()), report_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(QStringLiteral("sp5"));
    setUpFrame(nullptr, false, Closing::ExitButtonOnly);
    setUpButtons({ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit}, {ui->DBGrid1, ui->DBGrid2, ui->btn1_print});

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
    enterChain({ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4});
    NumericKeyFilter::install(ui->DBEdit4);

    connect(ui->btn1_print, &QPushButton::clicked, this, &Tsp5::btn1_printClick);
    connect(&materials_, &Dataset::currentChanged, this, [this] {
        if (!editing() && materials_.isOpen())
            guard([this] { openSpecifications(); });
    });
}

Tsp5::~Tsp5() = default;

QString Tsp5::material() const
{
    return materials_.isEmpty() || materials_.currentRow() < 0 ? QString() : materials_.text(QStringLiteral("namea"));
}

void Tsp5::afterAction()
{
    // Without a material there is nothing to add to.
    if (!editing())
        ui->btn1_add->setEnabled(!materials_.isEmpty());
}

void Tsp5::FormActivate()
{
    materials_.close();
    materials_.open(QStringLiteral("select * from sp1"));
    openSpecifications();
    for (QWidget *field : {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3, ui->DBEdit4})
        context().applyInputMethod(field, inputMethod());
}

void Tsp5::openSpecifications()
{
    query1_.close();
    query1_.open(QStringLiteral("select * from sp5 where namea=:g1"), {{QStringLiteral("g1"), material()}});
    buttons().refresh();
}

bool Tsp5::startEdit()
{
    old_ = sizes::current(query1_);
    query1_.edit();
    ui->DBEdit1->setFocus();
    return true;
}

bool Tsp5::startAdd()
{
    if (materials_.isEmpty())
        return false;
    // A new specification starts as a copy of the current one's texts.
    const sizes::Size proposed = query1_.isEmpty() ? sizes::Size() : sizes::current(query1_);
    old_ = sizes::Size();
    query1_.append();
    query1_.setValue(QStringLiteral("namea"), material());
    query1_.setValue(QStringLiteral("gg"), proposed.gg);
    query1_.setValue(QStringLiteral("dw"), proposed.dw);
    query1_.setValue(QStringLiteral("dw1"), proposed.dw1);
    ui->DBEdit1->setFocus();
    return true;
}

bool Tsp5::save()
{
    Store &store = context().store();
    const sizes::Size typed = sizes::current(query1_);
    const Outcome checked = sizes::check(store, material(), typed, adding(), old_.gg);
    if (!checked)
        return saved(checked, ui->DBEdit1);
    // A new ratio recomputes the specification's movements: the person is asked first.
    if (!adding() && typed.bl.toDouble() != old_.bl.toDouble()) {
        const int used = sizes::movements(store, material(), old_.gg);
        if (used > 0 && !confirm(QStringLiteral("该规格已有%1笔发生数据,修改换算比率将重新计算这些数据,是否继续？").arg(used)))
            return false;
    }
    return saved(sizes::save(store, query1_, material(), old_, adding()), ui->DBEdit1);
}

void Tsp5::remove()
{
    if (!buttons().confirmRemoval(this, query1_.isEmpty(),
                                  query1_.isEmpty() ? QString() : query1_.text(QStringLiteral("namea"))))
        return;
    accepted(sizes::removeUnused(context().store(), query1_, ui->DBEdit1->text()));
}

void Tsp5::btn1_printClick()
{
    guard([this] {
        report_.close();
        report_.open(QStringLiteral("select * from sp5 order by namea,gg"));
        report::Sources sources;
        sources.datasets.insert(QStringLiteral("Query3"), &report_);
        // The list prints from its own result set, so the grids stay as they are.
        printAction(context(), this, report_, nullptr, report::Template::load(QStringLiteral("sizelist")), sources);
    });
}

} // namespace tolva
