#include "printdialog.h"

#include "preview.h"
#include "widgets/context.h"
#include "widgets/guard.h"
#include "base/outputfile.h"

#include <QCheckBox>
#include <QDir>
#include <QStyle>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tolva {

TPrintDialog::TPrintDialog(Context &context, const report::PreparedReport &report, Tpreview1 &preview, int currentPage,
                           QWidget *parent)
    : QDialog(parent), context_(context), report_(report), preview_(preview), currentPage_(currentPage)
{
    setObjectName(QStringLiteral("PrintDialog"));
    setWindowTitle(QStringLiteral("青禾打印预览窗口,青禾主页:") + Context::webAddress() + QStringLiteral(",E-mail:") +
                   Context::mailAddress());
    auto *layout = new QVBoxLayout(this);

    auto *printerBox = new QGroupBox(QStringLiteral("请选择打印机"), this);
    auto *printerRow = new QHBoxLayout(printerBox);
    auto *nameLabel = new QLabel(QStringLiteral("名称(&N)"), printerBox);
    printers_ = new QComboBox(printerBox);
    printers_->setObjectName(QStringLiteral("CB1"));
    nameLabel->setBuddy(printers_);
    for (const QString &name : QPrinterInfo::availablePrinterNames())
        printers_->addItem(style()->standardIcon(QStyle::SP_ComputerIcon), name);
    printers_->addItem(style()->standardIcon(QStyle::SP_FileIcon), pdfEntry());
    const QString preferred = QPrinterInfo::defaultPrinterName();
    if (!preferred.isEmpty())
        printers_->setCurrentText(preferred);
    auto *properties = new QPushButton(QStringLiteral("属性(&R)"), printerBox);
    properties->setObjectName(QStringLiteral("PropButton"));
    printerRow->addWidget(nameLabel);
    printerRow->addWidget(printers_, 1);
    printerRow->addWidget(properties);
    layout->addWidget(printerBox);

    auto *middle = new QHBoxLayout;
    auto *rangeBox = new QGroupBox(QStringLiteral("页范围"), this);
    auto *rangeGrid = new QGridLayout(rangeBox);
    all_ = new QRadioButton(QStringLiteral("全部(&A)"), rangeBox);
    all_->setObjectName(QStringLiteral("RB1"));
    all_->setChecked(true);
    current_ = new QRadioButton(QStringLiteral("当前页(&E)"), rangeBox);
    current_->setObjectName(QStringLiteral("RB2"));
    range_ = new QRadioButton(QStringLiteral("页范围(&G)"), rangeBox);
    range_->setObjectName(QStringLiteral("RB3"));
    pages_ = new QLineEdit(rangeBox);
    pages_->setObjectName(QStringLiteral("E2"));
    auto *note1 = new QLabel(QStringLiteral("输入页号或页范围,逗号分隔.例如:1,3,5-12."), rangeBox);
    auto *note2 = new QLabel(QStringLiteral("上例说明打印第1页,第3页,第5页至第12页共10页"), rangeBox);
    rangeGrid->addWidget(all_, 0, 0, 1, 2);
    rangeGrid->addWidget(current_, 1, 0, 1, 2);
    rangeGrid->addWidget(range_, 2, 0);
    rangeGrid->addWidget(pages_, 2, 1);
    rangeGrid->addWidget(note1, 3, 0, 1, 2);
    rangeGrid->addWidget(note2, 4, 0, 1, 2);
    connect(pages_, &QLineEdit::textEdited, range_, [this] { range_->setChecked(true); });
    middle->addWidget(rangeBox, 1);

    auto *copiesBox = new QGroupBox(QStringLiteral("打印份数"), this);
    auto *copiesGrid = new QGridLayout(copiesBox);
    copies_ = new QSpinBox(copiesBox);
    copies_->setObjectName(QStringLiteral("E1"));
    copies_->setRange(1, 999);
    copies_->setValue(1);
    collate_ = new QCheckBox(QStringLiteral("逐份打印(&C)"), copiesBox);
    collate_->setObjectName(QStringLiteral("CB2"));
    collate_->setChecked(true);
    picture_ = new QLabel(copiesBox);
    picture_->setObjectName(QStringLiteral("Image1"));
    copiesGrid->addWidget(copies_, 0, 0);
    copiesGrid->addWidget(picture_, 0, 1, 2, 1);
    copiesGrid->addWidget(collate_, 1, 0);
    connectGuarded(collate_, &QCheckBox::toggled, this, context_.interaction(), &TPrintDialog::updatePicture);
    updatePicture();
    middle->addWidget(copiesBox);
    layout->addLayout(middle);

    auto *bottom = new QHBoxLayout;
    auto *parityLabel = new QLabel(QStringLiteral("打印(&L)"), this);
    parity_ = new QComboBox(this);
    parity_->setObjectName(QStringLiteral("CB3"));
    parity_->addItems({QStringLiteral("全部"), QStringLiteral("奇数页"), QStringLiteral("偶数页")});
    parityLabel->setBuddy(parity_);
    bottom->addWidget(parityLabel);
    bottom->addWidget(parity_);
    bottom->addStretch();
    auto *print = new QPushButton(QStringLiteral("打印(&P)"), this);
    print->setObjectName(QStringLiteral("OkButton"));
    print->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消(&X)"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    auto *previewButton = new QPushButton(QStringLiteral("预览(&T)"), this);
    previewButton->setObjectName(QStringLiteral("PreviewButton"));
    previewButton->setToolTip(QStringLiteral("在预览时,以上设置将不起作用."));
    bottom->addWidget(print);
    bottom->addWidget(cancel);
    bottom->addWidget(previewButton);
    layout->addLayout(bottom);

    Interaction &guarded = context_.interaction();
    connectGuarded(print, &QPushButton::clicked, this, guarded, &TPrintDialog::PrintClick);
    connectGuarded(cancel, &QPushButton::clicked, this, guarded, &QDialog::reject);
    connectGuarded(previewButton, &QPushButton::clicked, this, guarded, &TPrintDialog::PreviewClick);
    connectGuarded(properties, &QPushButton::clicked, this, guarded, &TPrintDialog::PropertiesClick);
}

void TPrintDialog::updatePicture()
{
    // Two small stacks of sheets, numbered as they come out of the printer.
    QPixmap pixmap(96, 40);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const QString order = collate_->isChecked() ? QStringLiteral("123123") : QStringLiteral("112233");
    for (int i = 0; i < 6; ++i) {
        const QRect sheet(i * 15 + (i >= 3 ? 6 : 0), 4 + (i % 3) * 3, 14, 26);
        p.fillRect(sheet, Qt::white);
        p.drawRect(sheet);
        p.drawText(sheet, Qt::AlignCenter, order.mid(i, 1));
    }
    picture_->setPixmap(pixmap);
}

TPrintDialog::~TPrintDialog() = default;

QPrinter &TPrintDialog::printer()
{
    const QString name = printers_->currentText();
    if (!printer_ || printerName_ != name) {
        if (name == pdfEntry()) {
            printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
            printer_->setOutputFormat(QPrinter::PdfFormat);
        } else {
            printer_ = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(name), QPrinter::HighResolution);
        }
        report::setUp(*printer_, report_);
        printerName_ = name;
    }
    return *printer_;
}

QString TPrintDialog::pdfFileName(const QString &title)
{
    QString name = title.simplified();
    static const QRegularExpression unfit(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    name.replace(unfit, QStringLiteral("_"));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("报表"));
    return name + QStringLiteral(".pdf");
}

void TPrintDialog::PropertiesClick()
{
    // The dialog edits the printer that "打印(&P)" then prints with.
    QPageSetupDialog dialog(&printer(), this);
    dialog.setObjectName(QStringLiteral("PageSetupDialog"));
    context_.interaction().exec(&dialog);
}

void TPrintDialog::PreviewClick()
{
    preview_.setReport(report_);
    context_.interaction().exec(&preview_);
    reject(); // the preview replaces printing
}

void TPrintDialog::PrintClick()
{
    QList<int> chosen;
    if (current_->isChecked()) {
        chosen << currentPage_;
    } else if (range_->isChecked()) {
        if (!report::parsePageRanges(pages_->text(), report_.pageCount(), chosen) || chosen.isEmpty()) {
            context_.interaction().message(this, QStringLiteral("页范围输入有误,请按例子输入页号或页范围！"));
            pages_->setFocus();
            return;
        }
    }
    const auto parity = report::Parity(parity_->currentIndex());
    QPrinter &device = printer();
    if (printers_->currentText() == pdfEntry()) {
        const QString path = context_.interaction().saveFileName(this, QStringLiteral("保存为PDF文件"),
                                                                 QDir(context_.folder()).filePath(pdfFileName(report_.title)),
                                                                 QStringLiteral("PDF 文件 (*.pdf)"));
        if (path.isEmpty())
            return;
        const QList<int> order = report::printOrder(report_.pageCount(), chosen, parity, copies_->value(),
                                                    collate_->isChecked(), false);
        try {
            // Written beside the chosen name and renamed over it when complete.
            refuseDataFile(path, context_.folder());
            OutputFile output(path);
            device.setOutputFileName(output.temporaryPath());
            const bool printed = report::print(report_, device, order);
            if (!printed)
                throw Error(QStringLiteral("无法写入文件 %1").arg(QDir::toNativeSeparators(path)));
            output.commit();
        } catch (const Error &e) {
            context_.interaction().message(this, e.text());
            return;
        }
        printed_ = order;
        pdfPath_ = path;
        accept();
        return;
    }
    device.setCopyCount(copies_->value());
    device.setCollateCopies(collate_->isChecked());
    const bool printerCopies = device.supportsMultipleCopies();
    const QList<int> order =
        report::printOrder(report_.pageCount(), chosen, parity, copies_->value(), collate_->isChecked(), printerCopies);
    if (!report::print(report_, device, order)) {
        context_.interaction().message(this, QStringLiteral("打印机无法打印：%1").arg(printers_->currentText()));
        return;
    }
    printed_ = order;
    accept();
}

} // namespace tolva
