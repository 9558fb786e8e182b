#include "chooserscreen.h"
#include "ui_chooser.h"

#include "statementrules.h"
#include "statementscreen.h"
#include "base/searchpattern.h"
#include "store/format.h"
#include "export/exportaction.h"
#include "widgets/context.h"
#include "widgets/numerickey.h"
#include "widgets/progressdialog.h"

#include <QApplication>
#include <QButtonGroup>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace tolva {

using namespace settlement;

namespace {

// The price cell's editor takes the keys of a number, with one "." only.
class PriceDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            line->setObjectName(QStringLiteral("djEditor"));
            NumericKeyFilter::install(line);
        }
        return editor;
    }
};

const QString Open = QStringLiteral("select * from sp2 where jz='否'");

} // namespace

Tczbcx1::Tczbcx1(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tczbcx1>()), query1_(context.store()),
      querysp1_(context.store())
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setObjectName(QStringLiteral("czbcx1"));
    setUpFrame(nullptr, false, Closing::ExitButtonOnly);

    ui->DBGrid1->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 200},
                             {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 110}});
    ui->DBGrid1->setDataset(&query1_);
    ui->DBGrid1->installEventFilter(this);

    ui->DBGrid2->setColumnCount(2);
    ui->DBGrid2->setHorizontalHeaderLabels({QStringLiteral("材料名称"), QStringLiteral("单价")});
    ui->DBGrid2->horizontalHeader()->setStretchLastSection(true);
    ui->DBGrid2->verticalHeader()->hide();
    ui->DBGrid2->setItemDelegateForColumn(1, new PriceDelegate(ui->DBGrid2));
    ui->DBGrid2->installEventFilter(this);

    modes_ = new QButtonGroup(this);
    modes_->addButton(ui->check2_0, 0);
    modes_->addButton(ui->check2_1, 1);
    modes_->addButton(ui->check2_2, 2);
    ui->d1->setEnabled(false);
    ui->d2->setEnabled(false);
    ui->d1->setDate(context.today());
    ui->d2->setDate(context.today());

    on(ui->Edit1, &QLineEdit::textChanged, &Tczbcx1::Edit1Change);
    on(ui->DBGrid1, &QAbstractItemView::clicked, &Tczbcx1::DBGrid1Click);
    on(ui->DBGrid1, &QAbstractItemView::doubleClicked, &Tczbcx1::DBGrid1DblClick);
    on(modes_, &QButtonGroup::idClicked, &Tczbcx1::check2Click);
    on(ui->DBGrid2, &QTableWidget::itemChanged, &Tczbcx1::priceEdited);
    on(ui->btn1_add, &QPushButton::clicked, &Tczbcx1::btn1_addClick);
    connect(ui->btn1_exit, &QPushButton::clicked, this, &QDialog::accept);
}

Tczbcx1::~Tczbcx1() = default;

int Tczbcx1::dateMode() const
{
    return qMax(0, modes_->checkedId());
}

void Tczbcx1::FormActivate()
{
    if (shown_) {
        // Back from the statement: the list its search shows, the contract that was open and the
        // period stay as the clerk left them.
        const QString numa = query1_.currentRow() >= 0 ? query1_.text(QStringLiteral("numa")) : QString();
        openContracts();
        if (!numa.isEmpty())
            query1_.locate(QStringLiteral("numa"), numa);
        showPrices();
        return;
    }
    shown_ = true;
    query1_.close();
    query1_.open(Open);
    if (!query1_.isEmpty()) {
        query1_.last();
        ui->d1->setDate(query1_.date(QStringLiteral("begina")));
        ui->d2->setDate(query1_.date(QStringLiteral("enda")));
    }
    ui->d2->setDate(context().today());
    showPrices();
    context().applyInputMethod({ui->Edit1});
    ui->Edit1->setFocus();
}

void Tczbcx1::showPrices()
{
    querysp1_.close();
    querysp1_.open(QStringLiteral("select * from sp1"));
    fillingPrices_ = true;
    ui->DBGrid2->setRowCount(querysp1_.rowCount());
    for (int r = 0; r < querysp1_.rowCount(); ++r) {
        querysp1_.moveTo(r);
        auto *name = new QTableWidgetItem(querysp1_.text(QStringLiteral("namea")));
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        ui->DBGrid2->setItem(r, 0, name);
        auto *price = new QTableWidgetItem(
            format::number(querysp1_.value(QStringLiteral("dj")), QStringLiteral("#0.00000;-#0.00000;#")));
        price->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (!mayEdit()) // the prices are data: read-only without the right "录入"
            price->setFlags(price->flags() & ~Qt::ItemIsEditable);
        ui->DBGrid2->setItem(r, 1, price);
    }
    fillingPrices_ = false;
}

void Tczbcx1::priceEdited(QTableWidgetItem *item)
{
    if (fillingPrices_ || item->column() != 1)
        return;
    guard([this, item] {
        querysp1_.moveTo(item->row());
        const Outcome outcome = setPrice(context().rights(), querysp1_, item->text());
        if (!accepted(outcome, ui->DBGrid2))
            ui->DBGrid2->setCurrentItem(item);
        const QSignalBlocker block(ui->DBGrid2);
        item->setText(
            format::number(querysp1_.value(QStringLiteral("dj")), QStringLiteral("#0.00000;-#0.00000;#")));
    });
}

void Tczbcx1::leavePrices()
{
    if (checkingPrices_)
        return;
    checkingPrices_ = true;
    guard([this] { accepted(checkPrices(context().store()), ui->DBGrid2); });
    checkingPrices_ = false;
}

bool Tczbcx1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->DBGrid1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept(); // Enter leaves the chooser, as "退出(&X)" does
            return true;
        }
    }
    if (watched == ui->DBGrid1 && event->type() == QEvent::KeyRelease)
        DBGrid1Click();
    if (watched == ui->DBGrid2 && event->type() == QEvent::FocusOut) {
        // Leaving the grid, not moving into its own cell editor.
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        QWidget *next = QApplication::focusWidget();
        if (reason != Qt::PopupFocusReason && !(next && ui->DBGrid2->isAncestorOf(next)))
            leavePrices();
    }
    return Screen::eventFilter(watched, event);
}

void Tczbcx1::Edit1Change()
{
    guard([this] { openContracts(); });
}

void Tczbcx1::openContracts()
{
    const QString text = ui->Edit1->text().trimmed();
    query1_.close();
    if (text.isEmpty())
        query1_.open(Open);
    else
        query1_.open(Open + QStringLiteral(" and ") + contractContains(QStringLiteral("g1")),
                     {{QStringLiteral("g1"), containsPattern(text)}});
}

void Tczbcx1::DBGrid1Click()
{
    guard([this] {
        if (!query1_.isEmpty() && dateMode() != 2) {
            ui->d1->setDate(query1_.date(QStringLiteral("begina")));
            ui->d2->setDate(query1_.date(QStringLiteral("enda")));
        }
        check2Click();
    });
}

void Tczbcx1::DBGrid1DblClick()
{
    DBGrid1Click();
    btn1_addClick();
}

void Tczbcx1::check2Click()
{
    const int mode = dateMode();
    if (!query1_.isEmpty() && query1_.currentRow() >= 0) {
        ui->d1->setDate(query1_.date(QStringLiteral("begina")));
        if (mode == 0)
            ui->d2->setDate(context().today());
        else if (mode == 1)
            ui->d2->setDate(query1_.date(QStringLiteral("enda")));
    }
    ui->d1->setEnabled(mode == 2);
    ui->d2->setEnabled(mode == 2);
}

void Tczbcx1::btn1_addClick()
{
    // A period typed that is no date is told by its field; nothing is computed meanwhile.
    if (!ui->d1->takeTyped() || !ui->d2->takeTyped())
        return;
    guard([this] {
        Request request;
        request.mode = DateMode(dateMode());
        request.start = ui->d1->date();
        request.end = ui->d2->date();
        if (query1_.currentRow() >= 0) {
            request.numa = query1_.text(QStringLiteral("numa"));
            request.khm = query1_.text(QStringLiteral("khm"));
        }
        // The preparation shows its progress at once when it has much to clear first (after a
        // summary over the whole ledger), else only when it takes long.
        Preparation p;
        const int showAfter = preparationClearsMuch(context().store()) ? 0 : 300;
        try {
            runWithProgress(this, {windowTitle(), QStringLiteral("正在准备……"), showAfter, QStringLiteral("progress")},
                            [&](const Progress &progress) {
                                p = prepare(context().store(), request, !query1_.isEmpty(), progress);
                            });
        } catch (const Cancelled &) {
            return; // the preparation left every table as it was
        }
        switch (p.refusal) {
        case Refusal::None:
            break;
        case Refusal::PriceMissing:
            message(settlement::message(p.refusal));
            ui->DBGrid2->setFocus();
            return;
        case Refusal::NoContract:
            message(settlement::message(p.refusal));
            ui->Edit1->clear();
            ui->Edit1->setFocus();
            return;
        default:
            message(settlement::message(p.refusal));
            return;
        }
        if (!statement_)
            statement_ = std::make_unique<Tczbcx>(context(), query1_, this);
        statement_->setStatement(request, p);
        context().interaction().exec(statement_.get());
    });
}

} // namespace tolva
