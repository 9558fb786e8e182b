#pragma once

#include "output.h"

#include <QDialog>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QPrinter;
class QSpinBox;

namespace tolva {

class Context;
class Tpreview1;

// The print dialog: a printer (the installed ones and always a PDF file), the pages, the copies,
// odd or even pages; "预览(&T)" shows the shared preview instead of printing.
class TPrintDialog : public QDialog {
    Q_OBJECT
public:
    static QString pdfEntry() { return QStringLiteral("PDF 文件"); }

    TPrintDialog(Context &context, const report::PreparedReport &report, Tpreview1 &preview, int currentPage = 1,
                 QWidget *parent = nullptr);
    ~TPrintDialog() override;

    void PrintClick();
    void PreviewClick();
    void PropertiesClick();
    // What "打印(&P)" printed: the pages in order (empty when nothing was printed).
    QList<int> printed() const { return printed_; }
    QString pdfPath() const { return pdfPath_; }
    // The chosen printer with the settings chosen under "属性(&R)"; printing uses exactly this one.
    QPrinter &printer();
    // The PDF file name proposed: the report's title, without characters a file name cannot hold.
    static QString pdfFileName(const QString &title);

private:
    void updatePicture();

    Context &context_;
    const report::PreparedReport &report_;
    Tpreview1 &preview_;
    int currentPage_;
    QComboBox *printers_;
    QRadioButton *all_, *current_, *range_;
    QLineEdit *pages_;
    QSpinBox *copies_;
    QCheckBox *collate_;
    QLabel *picture_;
    QComboBox *parity_;
    QList<int> printed_;
    QString pdfPath_;
    std::unique_ptr<QPrinter> printer_;
    QString printerName_; // the entry printer_ was made for
};

} // namespace tolva
