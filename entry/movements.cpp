#include "movements.h"
#include "ui_movements.h"

#include "widgets/context.h"
#include "widgets/numerickey.h"
#include "export/exportaction.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

namespace tolva {

namespace {

// What a number field accepts as a whole, so that nothing else can be pasted in either.
QValidator *numberValidator(QObject *parent)
{
    return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*\\.?[0-9]*")), parent);
}

} // namespace

Tczblrnow::Tczblrnow(Context &context, const Contract &contract, QWidget *parent)
    : MaintenanceScreen(context, parent), ui(std::make_unique<Ui::Tczblrnow>()), contract_(contract),
      materials_(context.store()), query1_(context.store()), sizes_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(QStringLiteral("czblrnow"));
    setWindowTitle(QStringLiteral("租赁材料数据录入系统_按材料规格"));
    setUpFrame(ui->StatusBar1, true);
    setUpButtons(query1_, {ui->btn1_edit, ui->btn1_add, ui->btn1_del, ui->btn1_exit}, {ui->DBGrid1, ui->RadioGroup1, ui->com1},
                 {ui->d1, ui->box1, ui->DBEdit1, ui->DBEdit2, ui->DBEdit3});

    // What the chooser sets before showing the screen.
    ui->Panel1->setText(contract.banner());
    ui->d2->setDate(contract.begina.isValid() ? contract.begina : ui->d2->minimumDate());
    ui->d3->setDate(contract.enda.isValid() ? contract.enda : ui->d3->minimumDate());
    ui->d1->setDate(context.today());

    const QString pieces = QStringLiteral("#0.00000;-#0.00000;#");
    ui->DBGrid1->setColumns({{QStringLiteral("Namea"), QStringLiteral("名称"), QString(), Qt::AlignLeft, 80},
                             {QStringLiteral("Datea"), QStringLiteral("日期"), QStringLiteral("yyyy-mm-dd"),
                              Qt::AlignCenter, 90},
                             {QStringLiteral("Gg"), QStringLiteral("规格"), QString(), Qt::AlignLeft, 80},
                             {QStringLiteral("Dw"), QStringLiteral("单位"), QString(), Qt::AlignCenter, 50},
                             {QStringLiteral("A1"), QStringLiteral("发出数量"), pieces, Qt::AlignRight, 100},
                             {QStringLiteral("B1"), QStringLiteral("回收数量"), pieces, Qt::AlignRight, 100},
                             {QStringLiteral("Dw1"), QStringLiteral("换算单位"), QString(), Qt::AlignCenter, 70},
                             {QStringLiteral("Bl"), QStringLiteral("换算比率"), QStringLiteral("#0.000000;-#0.000000;#"),
                              Qt::AlignRight, 100},
                             {QStringLiteral("A8"), QStringLiteral("报停天数"), QStringLiteral("#0.0;-#0.0;#;"),
                              Qt::AlignRight, 70}});
    ui->DBGrid1->setDataset(&query1_);
    // A negative sent quantity (a correction) shows pale green, every other row aqua.
    ui->DBGrid1->setRowColour([](const Dataset &rows, int row) {
        const QVariant a1 = rows.valueAt(row, rows.fieldIndex(QStringLiteral("a1")));
        return !a1.isNull() && a1.toDouble() < 0 ? colours::paleGreen() : colours::aqua();
    });

    ui->com1->setMaxVisibleItems(30);
    ui->box1->setMaxVisibleItems(40);
    ui->box1->bind(&query1_, QStringLiteral("Gg"));
    ui->DBEdit1->bind(&query1_, QStringLiteral("A1"), pieces);
    ui->DBEdit2->bind(&query1_, QStringLiteral("B1"), pieces);
    ui->DBEdit3->bind(&query1_, QStringLiteral("A8"), QStringLiteral("#0.0;-#0.0;#;"));
    NumericKeyFilter::install(ui->DBEdit1, NumericKeyFilter::Sign::Leading);
    NumericKeyFilter::install(ui->DBEdit2, NumericKeyFilter::Sign::Leading);
    NumericKeyFilter::install(ui->DBEdit3);
    for (DbEdit *field : {ui->DBEdit1, ui->DBEdit2, ui->DBEdit3}) {
        field->setValidator(numberValidator(field));
        field->installEventFilter(this);
    }
    // Enter runs along the row; from the returned quantity it reaches the button reading "保存(&S)"
    // ("返回(&X)" being disabled meanwhile).
    enterChain({ui->box1, ui->DBEdit1, ui->DBEdit2});
    // The date picker's own editor would take the focus back: Enter there goes to box1 by hand.
    ui->d1->installEventFilter(this);
    ui->d1->setEnabled(false);

    on(ui->com1, &QComboBox::activated, &Tczblrnow::com1Change);
    on(ui->box1, &QComboBox::activated, &Tczblrnow::box1Change);
    on(ui->RadioGroup1_0, &QRadioButton::clicked, &Tczblrnow::RadioGroup1Click);
    on(ui->RadioGroup1_1, &QRadioButton::clicked, &Tczblrnow::RadioGroup1Click);
    on(ui->check2_0, &QRadioButton::clicked, &Tczblrnow::check2Click);
    on(ui->check2_1, &QRadioButton::clicked, &Tczblrnow::check2Click);
    on(&query1_, &Dataset::currentChanged, [this] {
        if (!editing())
            showDate();
    });
    on(&sizes_, &Dataset::reset, [this] {
        QSignalBlocker block(ui->box1);
        ui->box1->clear();
        for (int r = 0; r < sizes_.rowCount(); ++r)
            ui->box1->addItem(sizes_.valueAt(r, sizes_.fieldIndex(QStringLiteral("gg"))).toString());
        const QString gg = query1_.currentRow() >= 0 ? query1_.text(QStringLiteral("gg")) : QString();
        ui->box1->setCurrentIndex(ui->box1->findText(gg));
    });
}

Tczblrnow::~Tczblrnow() = default;

bool Tczblrnow::fullView() const
{
    return ui->RadioGroup1_1->isChecked();
}

QString Tczblrnow::material() const
{
    return materials_.isOpen() && materials_.currentRow() >= 0 ? materials_.text(QStringLiteral("namea")) : QString();
}

void Tczblrnow::FormActivate()
{
    filling_ = true;
    const int proposal = movements::dateProposal(context().settings());
    (proposal == 1 ? ui->check2_1 : ui->check2_0)->setChecked(true);
    // The date proposal is a setting of every user: only "录入" and "管理" change it.
    ui->check2_0->setEnabled(mayChangeSettings());
    ui->check2_1->setEnabled(mayChangeSettings());
    ui->RadioGroup1_0->setChecked(true);

    materials_.close();
    materials_.open(QStringLiteral("select * from sp1"));
    ui->com1->clear();
    for (int r = 0; r < materials_.rowCount(); ++r)
        ui->com1->addItem(materials_.valueAt(r, materials_.fieldIndex(QStringLiteral("namea"))).toString());
    // Until a material is picked the list shows none and the first one is worked on; a picked
    // one stays when the window becomes active again.
    if (!chosen_.isEmpty() && materials_.locate(QStringLiteral("namea"), chosen_))
        ui->com1->setCurrentIndex(materials_.currentRow());
    else
        ui->com1->setCurrentIndex(-1);
    filling_ = false;
    openMaterial();
}

void Tczblrnow::openMaterial()
{
    sizes_.close();
    sizes_.open(QStringLiteral("select * from sp5 where namea=:g1 order by gg"), {{QStringLiteral("g1"), material()}});
    openMovements();
}

void Tczblrnow::openMovements()
{
    query1_.close();
    if (fullView())
        query1_.open(QStringLiteral("select * from czbnow where numa=:g1 order by namea,datea,gg"),
                     {{QStringLiteral("g1"), contract_.numa}});
    else
        query1_.open(QStringLiteral("select * from czbnow where numa=:g1 and namea=:g2"),
                     {{QStringLiteral("g1"), contract_.numa}, {QStringLiteral("g2"), material()}});
    if (!query1_.isEmpty())
        query1_.last();
    showDate();
    buttons().refresh();
}

void Tczblrnow::showDate()
{
    if (query1_.isOpen() && query1_.currentRow() >= 0) {
        const QDate date = query1_.date(QStringLiteral("datea"));
        if (date.isValid())
            setDate(date);
    }
}

void Tczblrnow::focusDate()
{
    // Most movements fall on a day near the last one: the day is what the clerk changes.
    ui->d1->setEnabled(true);
    ui->d1->setFocus();
    ui->d1->setSelectedSection(QDateTimeEdit::DaySection);
}

void Tczblrnow::setDate(const QDate &date)
{
    ui->d1->setDate(date);
}

void Tczblrnow::com1Change(int index)
{
    if (filling_ || editing() || index < 0)
        return;
    materials_.moveTo(index);
    chosen_ = material();
    openMaterial();
}

void Tczblrnow::box1Change(int index)
{
    if (!query1_.isEditing() || index < 0)
        return;
    sizes_.moveTo(index);
    movements::chooseSize(query1_, sizes_);
}

void Tczblrnow::RadioGroup1Click()
{
    if (editing())
        return;
    openMovements();
}

void Tczblrnow::check2Click()
{
    if (filling_)
        return;
    if (accepted(movements::setDateProposal(context().rights(), context().settings(), ui->check2_1->isChecked() ? 1 : 0)))
        return;
    const int proposal = movements::dateProposal(context().settings());
    (proposal == 1 ? ui->check2_1 : ui->check2_0)->setChecked(true);
}

void Tczblrnow::afterAction()
{
    const bool pending = editing();
    for (QWidget *field : {static_cast<QWidget *>(ui->DBEdit1), static_cast<QWidget *>(ui->DBEdit2),
                           static_cast<QWidget *>(ui->DBEdit3)})
        field->setEnabled(pending);
    // The full view is for reading only.
    if (fullView() && !pending) {
        for (QWidget *w : {static_cast<QWidget *>(ui->btn1_edit), static_cast<QWidget *>(ui->btn1_add),
                           static_cast<QWidget *>(ui->btn1_del), static_cast<QWidget *>(ui->com1)})
            w->setEnabled(false);
    }
}

bool Tczblrnow::startEdit()
{
    if (fullView() || query1_.currentRow() < 0)
        return false;
    remembered_ = ui->d1->date();
    before_ = {query1_.date(QStringLiteral("datea")), query1_.number(QStringLiteral("a8"))};
    query1_.edit();
    // The list of specifications shows the row's own.
    ui->box1->setCurrentIndex(ui->box1->findText(query1_.text(QStringLiteral("gg"))));
    focusDate();
    return true;
}

bool Tczblrnow::startAdd()
{
    if (fullView())
        return false;
    if (!accepted(movements::mayAdd(material(), sizes_)))
        return false;
    const QDate date = movements::proposedDate(query1_, ui->check2_0->isChecked(), context().today());
    setDate(date);
    remembered_ = date;
    before_ = movements::Before();
    movements::append(query1_, contract_, material(), date, sizes_);
    focusDate();
    return true;
}

bool Tczblrnow::save()
{
    // Saving by its shortcut leaves no field: the field in hand is left first, as a click would.
    QWidget *focus = focusWidget();
    if (focus == ui->DBEdit1)
        movements::leaveSent(query1_);
    else if (focus == ui->DBEdit2 || focus == ui->DBEdit3)
        movements::leaveReturned(query1_);
    const Outcome outcome = movements::save(context().store(), query1_, contract_, ui->d1->date(), adding(), before_);
    if (!outcome.ok() && outcome.field() == QLatin1String("datea")) {
        setDate(remembered_);
        message(outcome.message());
        focusDate();
        return false;
    }
    if (!saved(outcome, fieldWidget(outcome.field())))
        return false;
    ui->DBGrid1->viewport()->update();
    return true;
}

QWidget *Tczblrnow::fieldWidget(const QString &field) const
{
    if (field == QLatin1String("datea"))
        return ui->d1;
    if (field == QLatin1String("gg"))
        return ui->box1;
    if (field == QLatin1String("b1"))
        return ui->DBEdit2;
    if (field == QLatin1String("a8"))
        return ui->DBEdit3;
    return ui->DBEdit1;
}

void Tczblrnow::cancel()
{
    query1_.cancel();
    showDate();
}

void Tczblrnow::remove()
{
    if (fullView())
        return;
    if (!buttons().confirmRemoval(this, query1_.isEmpty(),
                                  query1_.isEmpty() ? QString() : query1_.text(QStringLiteral("khm"))))
        return;
    query1_.remove();
    showDate();
}

bool Tczblrnow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut && query1_.isEditing()) {
        guard([&] {
            if (watched == ui->DBEdit1)
                movements::leaveSent(query1_);
            else if (watched == ui->DBEdit2 || watched == ui->DBEdit3)
                movements::leaveReturned(query1_);
        });
    } else if (event->type() == QEvent::KeyPress && watched == ui->d1) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            ui->box1->setFocus(Qt::TabFocusReason);
            return true;
        }
    } else if (event->type() == QEvent::KeyPress && watched == ui->DBEdit3) {
        // Enter in the suspended days saves, like Enter at the end of the row.
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            for (QPushButton *b : {ui->btn1_edit, ui->btn1_add})
                if (b->isEnabled() && b->text() == MaintenanceButtons::saveCaption())
                    b->click();
            return true;
        }
    }
    return MaintenanceScreen::eventFilter(watched, event);
}

void Tczblrnow::keyPressEvent(QKeyEvent *event)
{
    // Enter is the fields' own (they move on) or the focused button's; it never presses another.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    MaintenanceScreen::keyPressEvent(event);
}

} // namespace tolva
