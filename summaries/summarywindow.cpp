#include "summarywindow.h"
#include "ui_summarywindow.h"

#include "printing/printaction.h"
#include "settings/settingsrules.h"
#include "widgets/context.h"
#include "widgets/progressdialog.h"
#include "export/exportaction.h"

#include <QKeyEvent>

#include <exception>

namespace tolva::summaries {

SummaryWindow::SummaryWindow(Context &context, QWidget *parent, const QString &title, const QString &heightColumn)
    : Screen(context, parent), ui(std::make_unique<Ui::SummaryWindow>()), list_(context.store()),
      summary_(context.store()), heightColumn_(heightColumn)
{
    ui->setupUi(this);
    excel::offerExport(context, this);
    setWindowTitle(title);
    setUpFrame(ui->StatusBar1, true);

    ui->DBGrid100->setColumns({{QStringLiteral("khm"), QStringLiteral("客户名称"), QString(), Qt::AlignLeft, 160},
                               {QStringLiteral("numa"), QStringLiteral("合同号"), QString(), Qt::AlignLeft, 80}});
    ui->DBGrid100->setDataset(&list_);
    ui->DBGrid100->installEventFilter(this);
    // Rows with an odd record number aqua, even ones white.
    ui->DBGrid2->setRowColour([](const Dataset &, int row) { return row % 2 == 0 ? colours::aqua() : QColor(Qt::white); });
    ui->DBGrid2->setDataset(&summary_);
    ui->d1->setDate(context.today());
    // Only the arrows of UpDown5 show: Edit7 beside them shows the number.
    QPalette arrows = ui->UpDown5->palette();
    arrows.setColor(QPalette::Text, Qt::transparent);
    arrows.setColor(QPalette::HighlightedText, Qt::transparent);
    arrows.setColor(QPalette::Highlight, Qt::transparent);
    ui->UpDown5->setPalette(arrows);

    on(ui->Edit1, &QLineEdit::textChanged, &SummaryWindow::Edit1Change);
    on(ui->d1, &QDateEdit::dateChanged, &SummaryWindow::d1Change);
    on(ui->btn1_add, &QPushButton::clicked, &SummaryWindow::btn1_addClick);
    on(ui->DBGrid100, &QAbstractItemView::doubleClicked, &SummaryWindow::btn1_addClick);
    on(ui->BitBtn1, &QPushButton::clicked, &SummaryWindow::BitBtn1Click);
    on(ui->btn1_exit, &QPushButton::clicked, &QDialog::close);
    on(ui->UpDown5, &QSpinBox::valueChanged, &SummaryWindow::UpDown5Click);
    on(&summary_, &Dataset::currentChanged, &SummaryWindow::showCustomer);
    on(&summary_, &Dataset::reset, &SummaryWindow::showCustomer);
}

SummaryWindow::~SummaryWindow() = default;

void SummaryWindow::FormActivate()
{
    Dataset &settings = context().settings();
    const QSignalBlocker block(ui->UpDown5);
    const double height = settings.number(heightColumn_);
    ui->Edit7->setText(QString::number(height, 'g', 15));
    ui->UpDown5->setValue(int(height));
    // The printed row height is a setting: only "录入" and "管理" change it.
    ui->UpDown5->setEnabled(mayChangeSettings());
    {
        const QSignalBlocker blockDate(ui->d1);
        ui->d1->setDate(context().today());
    }
    activateSummary();
    openUnsettled(list_, QString());
    context().applyInputMethod({ui->Edit1});
    ui->Edit1->setFocus();
}

void SummaryWindow::Edit1Change()
{
    ui->BitBtn1->setEnabled(false);
    openUnsettled(list_, ui->Edit1->text());
}

void SummaryWindow::d1Change()
{
    ui->BitBtn1->setEnabled(false);
}

void SummaryWindow::UpDown5Click(int value)
{
    if (!accepted(settings::setPrintedRowHeight(context().rights(), context().settings(), heightColumn_, value)))
        return;
    ui->Edit7->setText(QString::number(value));
}

void SummaryWindow::btn1_addClick()
{
    if (!ui->d1->takeTyped())
        return; // the field tells why
    // The date part only, as a picker's value is written and read back.
    const QDate cutoff = ui->d1->date();
    const QVector<Contract> contracts = contractsOf(list_);

    // Nothing else of the window may start while the run processes events.
    const QList<QWidget *> controls{ui->Edit1, ui->DBGrid100, ui->d1,      ui->UpDown5,
                                    ui->BitBtn1, ui->btn1_add, ui->btn1_exit};
    QList<bool> wasEnabled;
    for (QWidget *w : controls) {
        wasEnabled << w->isEnabled();
        w->setEnabled(false);
    }
    running_ = true;
    ui->DBGrid2->setEnabled(false);
    ui->DBGrid2->setDataset(nullptr);
    summary_.close();
    Outcome outcome;
    std::exception_ptr failure;
    try {
        // The progress goes before a refusal or a failure is shown, so that it covers nothing.
        runWithProgress(this, {windowTitle(), QString(), 300, QString()},
                        [&](const Progress &progress) { outcome = run(contracts, cutoff, progress); });
    } catch (const Cancelled &) {
        outcome = Outcome::refused(QString()); // the run left every table as it was
    } catch (...) {
        failure = std::current_exception();
    }
    const bool ran = !failure && outcome.ok();
    if (failure)
        guard([&] { std::rethrow_exception(failure); });
    else if (!outcome.message().isEmpty())
        accepted(outcome);
    if (ran)
        runCutoff_ = cutoff;
    running_ = false;
    for (int i = 0; i < controls.size(); ++i)
        controls[i]->setEnabled(wasEnabled[i]);
    guard([&] { openSummary(summary_); });
    ui->DBGrid2->setDataset(&summary_);
    ui->DBGrid2->setEnabled(summary_.isOpen() && !summary_.isEmpty());
    ui->BitBtn1->setEnabled(ran && summary_.isOpen() && !summary_.isEmpty());
    showCustomer();
}

void SummaryWindow::BitBtn1Click()
{
    Print p = print(runCutoff_.isValid() ? runCutoff_ : ui->d1->date());
    printAction(context(), this, summary_, ui->DBGrid2, p.layout, p.sources, emptyPrintMessage());
}

void SummaryWindow::showCustomer()
{
    const bool row = summary_.isOpen() && summary_.currentRow() >= 0;
    ui->DBText1->setText(row ? summary_.text(QStringLiteral("khm")) : QString());
}

bool SummaryWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the contract list leaves the window, as the exit button does.
    if (watched == ui->DBGrid100 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ui->btn1_exit->click();
            return true;
        }
    }
    return Screen::eventFilter(watched, event);
}

} // namespace tolva::summaries
