#include "fixture.h"
#include "export/chartwindow.h"
#include "printing/preview.h"
#include "printing/printaction.h"
#include "printing/printdialog.h"
#include "widgets/datagrid.h"

#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QStyle>
#include <QFile>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

#include <unistd.h>

using namespace tolva;
using namespace tolva::report;

namespace {

Template fixture(const QString &name)
{
    QFile file(QStringLiteral(FIXTURES "/%1.json").arg(name));
    file.open(QIODevice::ReadOnly);
    return Template::fromJson(file.readAll());
}

// A report of the specification list over `rows` specifications: 18 rows a page.
struct Specs {
    Fixture f;
    Dataset data{*f.store};
    explicit Specs(int rows)
    {
        for (int i = 0; i < rows; ++i)
            f.store->exec("insert into sp5(namea,gg,bl) values(:n,'6米',1.5)", {{"n", QString("材料%1").arg(i)}});
        data.open("select * from sp5");
    }
    PreparedReport prepared()
    {
        Sources s;
        s.datasets = {{"Query3", &data}};
        return prepare(fixture("columns"), s);
    }
    QString buttons(Tpreview1 &p)
    {
        QString out;
        for (const char *name : {"SpeedBut2", "SpeedBut1", "SpeedBut3", "SpeedBut4"})
            out += p.findChild<QPushButton *>(name)->isEnabled() ? '+' : '-';
        return out;
    }
};

QString pdfInfo(const QString &path)
{
    QProcess p;
    p.start("pdfinfo", {path});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Digests of files read by another process: reading them here, beside the store, would drop its
// locks on them.
QByteArray digests(const QStringList &paths)
{
    QProcess p;
    p.start("sha256sum", paths);
    p.waitForFinished(30000);
    return p.readAllStandardOutput();
}

QString pdfText(const QString &path)
{
    QProcess p;
    p.start("pdftotext", {"-layout", path, "-"});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onePageReportHasNoPageButtons()
    {
        Specs s(5);
        Tpreview1 preview(*s.f.context);
        preview.setReport(s.prepared());
        QCOMPARE(preview.preparedReport().pageCount(), 1);
        preview.show();
        QCOMPARE(s.buttons(preview), QString("----"));
        QCOMPARE(preview.windowTitle(), QString("青禾软件开发中心通用预览窗口"));
        QVERIFY(preview.findChild<QPushButton *>("BitBtn3")->isHidden());
        QCOMPARE(preview.findChild<QPushButton *>("SpeedBut5")->toolTip(), QString("放大当页报表"));
    }

    void pageButtonsOfAThreePageReport()
    {
        Specs s(45); // 18 a page: three pages
        Tpreview1 preview(*s.f.context);
        preview.setReport(s.prepared());
        QCOMPARE(preview.preparedReport().pageCount(), 3);
        preview.show();
        QCOMPARE(s.buttons(preview), QString("--++"));
        auto click = [&](const char *name) { preview.findChild<QPushButton *>(name)->click(); };
        click("SpeedBut3");
        QCOMPARE(preview.area()->page(), 2);
        QCOMPARE(s.buttons(preview), QString("++++"));
        click("SpeedBut3");
        QCOMPARE(preview.area()->page(), 3);
        QCOMPARE(s.buttons(preview), QString("++--"));
        click("SpeedBut1");
        QCOMPARE(preview.area()->page(), 2);
        QCOMPARE(s.buttons(preview), QString("++++"));
        click("SpeedBut4");
        QCOMPARE(s.buttons(preview), QString("++--"));
        click("SpeedBut2");
        QCOMPARE(preview.area()->page(), 1);
        QCOMPARE(s.buttons(preview), QString("--++"));
        // Paging keys go to the preview.
        QTest::keyClick(&preview, Qt::Key_PageDown);
        QCOMPARE(preview.area()->page(), 2);
    }

    void hintsOfThePreviewAppearAtOnceAndNowhereElse()
    {
        Specs s(5);
        QStyle *before = QApplication::style();
        const int delay = before->styleHint(QStyle::SH_ToolTip_WakeUpDelay);
        QVERIFY(delay > 0);
        Tpreview1 preview(*s.f.context);
        preview.show();
        QEvent enter(QEvent::Enter);
        QPushButton *next = preview.findChild<QPushButton *>("SpeedBut3");
        QApplication::sendEvent(next, &enter);
        QApplication::sendEvent(preview.area()->viewport(), &enter);
        for (QWidget *w : {static_cast<QWidget *>(next), preview.area()->viewport()})
            QCOMPARE(w->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, w), 0);
        // Other windows keep the application's style and their delay.
        QPushButton other("其他窗口");
        QCOMPARE(QApplication::style(), before);
        QCOMPARE(other.style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, &other), delay);
    }

    // Keys the preview does not use are dropped, wherever they are pressed; they once climbed
    // between the window and its scroll bar until the stack ran out.
    void unusedKeysAreIgnoredAndAltXCloses()
    {
        Specs s(45);
        Tpreview1 preview(*s.f.context);
        preview.setReport(s.prepared());
        preview.show();
        QWidget *targets[] = {&preview, preview.area(), preview.area()->viewport()};
        for (QWidget *target : targets) {
            for (int key : {Qt::Key_A, Qt::Key_Shift, Qt::Key_Return, Qt::Key_Enter, Qt::Key_F5, Qt::Key_Space})
                QTest::keyClick(target, Qt::Key(key));
            QTest::keyClick(target, Qt::Key_Q, Qt::AltModifier);
            QTest::keyClick(target, Qt::Key_B, Qt::ControlModifier);
        }
        QVERIFY(preview.isVisible());
        QCOMPARE(preview.area()->page(), 1);

        // Paging and scrolling keys pressed in the preview area move the report.
        QTest::keyClick(preview.area(), Qt::Key_PageDown);
        QCOMPARE(preview.area()->page(), 2);
        QTest::keyClick(preview.area(), Qt::Key_End);
        QCOMPARE(preview.area()->page(), 3);
        QTest::keyClick(preview.area(), Qt::Key_Down);
        QVERIFY(preview.area()->verticalScrollBar()->value() > 0);

        QTest::keyClick(preview.area(), Qt::Key_X, Qt::AltModifier);
        QVERIFY(!preview.isVisible());
        QCOMPARE(preview.result(), int(QDialog::Accepted));
    }

    void zoomSteps()
    {
        Specs s(5);
        Tpreview1 preview(*s.f.context);
        preview.setReport(s.prepared());
        preview.show();
        QCOMPARE(preview.area()->zoom(), preview.area()->fitWidthZoom());
        QPushButton *in = preview.findChild<QPushButton *>("SpeedBut5");
        QPushButton *out = preview.findChild<QPushButton *>("SpeedBut6");
        preview.area()->setZoom(35);
        out->click();
        QCOMPARE(preview.area()->zoom(), 20);
        QVERIFY(!out->isEnabled());
        in->click();
        QCOMPARE(preview.area()->zoom(), 40);
        QVERIFY(out->isEnabled());
    }

    void previewButtonShowsThePreviewAndPrintsNothing()
    {
        Specs s(45);
        const PreparedReport r = s.prepared();
        Tpreview1 &preview = previewWindow(*s.f.context);
        bool previewed = false;
        s.f.ui.windows["preview1"] = [&](QDialog *d) {
            previewed = static_cast<Tpreview1 *>(d)->preparedReport().pageCount() == 3;
            return 1;
        };
        TPrintDialog dialog(*s.f.context, r, preview);
        QVERIFY(dialog.windowTitle().startsWith("青禾打印预览窗口,青禾主页:"));
        dialog.findChild<QPushButton *>("PreviewButton")->click();
        QVERIFY(previewed);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.printed().isEmpty());
    }

    void printsChosenPagesIntoAPdf()
    {
        Specs s(45);
        const PreparedReport r = s.prepared();
        TPrintDialog dialog(*s.f.context, r, previewWindow(*s.f.context));
        auto *printers = dialog.findChild<QComboBox *>("CB1");
        QCOMPARE(printers->itemText(printers->count() - 1), QString("PDF 文件"));
        printers->setCurrentText(TPrintDialog::pdfEntry());
        dialog.findChild<QRadioButton *>("RB3")->setChecked(true);
        dialog.findChild<QLineEdit *>("E2")->setText("x-1");
        dialog.findChild<QPushButton *>("OkButton")->click();
        QCOMPARE(s.f.ui.texts("message"), QStringList{"页范围输入有误,请按例子输入页号或页范围！"});
        QVERIFY(dialog.printed().isEmpty());

        dialog.findChild<QLineEdit *>("E2")->setText("2-3");
        dialog.findChild<QComboBox *>("CB3")->setCurrentIndex(2); // even pages
        const QString path = s.f.dir.filePath("规格.pdf");
        s.f.ui.answers << path;
        dialog.findChild<QPushButton *>("OkButton")->click();
        QCOMPARE(dialog.printed(), QList<int>{2});
        const QString text = pdfText(path);
        QVERIFY2(text.contains("第2页 共3页"), qPrintable(text));
        QVERIFY(!text.contains("第3页"));
        QVERIFY(text.contains("材料规格明细表"));
    }

    // What is chosen under "属性(&R)" is what prints.
    void printerSettingsApply()
    {
        Specs s(45);
        const PreparedReport r = s.prepared();
        TPrintDialog dialog(*s.f.context, r, previewWindow(*s.f.context));
        dialog.findChild<QComboBox *>("CB1")->setCurrentText(TPrintDialog::pdfEntry());
        s.f.ui.windows["PageSetupDialog"] = [](QDialog *d) {
            // What the printer's own dialog does with the person's choice.
            QPrinter *printer = static_cast<QPageSetupDialog *>(d)->printer();
            printer->setPageSize(QPageSize(QPageSize::Letter));
            printer->setPageOrientation(QPageLayout::Landscape);
            return int(QDialog::Accepted);
        };
        dialog.findChild<QPushButton *>("PropButton")->click();
        QCOMPARE(s.f.ui.texts("modal"), QStringList{"PageSetupDialog"});
        const QString path = s.f.dir.filePath("letter.pdf");
        s.f.ui.answers << path;
        dialog.findChild<QPushButton *>("OkButton")->click();
        QCOMPARE(dialog.printed(), (QList<int>{1, 2, 3}));
        const QString info = pdfInfo(path);
        QVERIFY2(info.contains("Pages:           3"), qPrintable(info));
        QVERIFY2(info.contains("792 x 612 pts (letter)"), qPrintable(info));
    }

    // The PDF proposed is named after the title printed: deposits and rent received, printed from one
    // template, get their own names.
    void pdfIsNamedAfterThePrintedTitle_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("file");
        QTest::newRow("deposits") << "sp3" << "押金明细表" << "押金明细表.pdf";
        QTest::newRow("rent received") << "sp4" << "已交租金明细表" << "已交租金明细表.pdf";
        QTest::newRow("unfit characters") << "sp3" << "押金/租金:2004?" << "押金_租金_2004_.pdf";
        QTest::newRow("blank title") << "sp4" << "  " << "交费明细表.pdf";
    }

    void pdfIsNamedAfterThePrintedTitle()
    {
        QFETCH(QString, column);
        QFETCH(QString, title);
        QFETCH(QString, file);
        Specs s(0);
        s.f.store->exec(QString("update dwm set %1=:t").arg(column), {{"t", title}});
        s.f.context->titles().refresh();
        s.f.store->exec("insert into sp3(khm,numa,datea,lx,a1) values('客户','HT1','2004-01-01','现金',100)");
        Dataset rows(*s.f.store), contract(*s.f.store);
        rows.open("select * from sp3");
        contract.open("select * from sp2");
        Template t = Template::load("payments");
        t.memo("Memo1")->text = QString("[dwm.Query1.\"%1\"]").arg(column);
        Sources sources;
        sources.datasets = {{"Query1", &rows}, {"Query2", &contract}, {"dwm.Query1", &s.f.context->titles()}};
        const PreparedReport r = prepare(t, sources);
        TPrintDialog dialog(*s.f.context, r, previewWindow(*s.f.context));
        dialog.findChild<QComboBox *>("CB1")->setCurrentText(TPrintDialog::pdfEntry());
        s.f.ui.answers << QString();
        dialog.findChild<QPushButton *>("OkButton")->click();
        QCOMPARE(s.f.ui.log.last().kind, QString("save"));
        QCOMPARE(QFileInfo(s.f.ui.log.last().text).fileName(), file);
    }

    void savedReportsGetTheirExtensionAndFailedWritesAreReported()
    {
        Specs s(45);
        Tpreview1 preview(*s.f.context);
        preview.setReport(s.prepared());
        s.f.ui.answers << s.f.dir.filePath("三月");
        preview.findChild<QPushButton *>("BitBtn2")->click();
        QVERIFY(QFile::exists(s.f.dir.filePath("三月.frp")));
        QCOMPARE(PreparedReport::load(s.f.dir.filePath("三月.frp"), s.f.dir.path()).pageCount(), 3);
        QVERIFY(s.f.ui.texts("message").isEmpty());

        const QString nowhere = s.f.dir.filePath("没有的文件夹/三月.frp");
        s.f.ui.answers << nowhere;
        preview.findChild<QPushButton *>("BitBtn2")->click();
        QCOMPARE(s.f.ui.texts("message"), QStringList{"报表文件无法保存：" + nowhere});
    }

    // No output chosen on a screen lands on a data file, named, through a link or by a second
    // name, and no report is read from one: each is refused with the reason, the files keep their
    // bytes, and the store keeps its locks (another SQLite client leaves its journal in place).
    void screenOutputsLeaveTheDataFilesAlone_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("file");
        const struct {
            const char *output, *file;
        } rows[] = {{"pdf", "tolva.db"},      {"pdf", "tolva.db-wal"},   {"pdf", "out/link.pdf"},
                    {"pdf", "out/second.pdf"}, {"report", "out/link.frp"}, {"report", "out/second.frp"},
                    {"open", "tolva.db"},      {"open", "tolva.db-shm"},  {"open", "out/second.frp"},
                    {"excel", "out/link.xlsx"}, {"excel", "out/second.xlsx"}, {"picture", "out/link.png"}};
        for (const auto &row : rows)
            QTest::newRow(qPrintable(QString("%1 %2").arg(row.output, row.file))) << row.output << row.file;
    }

    void screenOutputsLeaveTheDataFilesAlone()
    {
        TOLVA_SQLITE_ONLY(); // about the data folder's own files
        QFETCH(QString, output);
        QFETCH(QString, file);
        Specs s(45);
        const QDir folder(s.f.dir.path());
        const QString ledger = folder.filePath("tolva.db");
        QVERIFY(folder.mkpath("out"));
        const QString path = folder.filePath(file);
        if (file.contains("link"))
            QVERIFY(QFile::link(ledger, path));
        else if (file.contains("second"))
            QCOMPARE(::link(QFile::encodeName(ledger).constData(), QFile::encodeName(path).constData()), 0);
        const QByteArray before = digests({ledger, ledger + "-wal"});
        QVERIFY(!before.isEmpty());

        const PreparedReport r = s.prepared();
        Tpreview1 preview(*s.f.context);
        preview.setReport(r);
        s.f.ui.answers << path;
        if (output == "pdf") {
            TPrintDialog dialog(*s.f.context, r, preview);
            dialog.findChild<QComboBox *>("CB1")->setCurrentText(TPrintDialog::pdfEntry());
            dialog.findChild<QPushButton *>("OkButton")->click();
            QVERIFY(dialog.printed().isEmpty());
        } else if (output == "picture") {
            ChartWindow chart(*s.f.context, "图表");
            chart.addChart("库存", new QChart);
            chart.findChild<QPushButton *>("btn_save")->click();
        } else {
            const char *button = output == "report" ? "BitBtn2" : output == "open" ? "BitBtn1" : "BitBtn5";
            preview.findChild<QPushButton *>(button)->click();
        }
        QCOMPARE(s.f.ui.texts("message").size(), 1);
        QVERIFY2(s.f.ui.texts("message")[0].contains("是本程序的数据文件"), qPrintable(s.f.ui.texts("message")[0]));
        QCOMPARE(preview.preparedReport().pageCount(), 3);

        QProcess other;
        other.start("sqlite3", {ledger, "select count(*) from sp5"});
        QVERIFY2(other.waitForFinished(30000) && other.exitCode() == 0, "sqlite3 is needed");
        QCOMPARE(other.readAllStandardOutput().trimmed(), QByteArray("45"));
        QCOMPARE(digests({ledger, ledger + "-wal"}), before);
        if (file.contains("link"))
            QVERIFY(QFileInfo(path).isSymLink());
    }

    void printActionRefusesEmptyAndDetachesTheGrid()
    {
        Specs s(0);
        DataGrid grid;
        grid.setDataset(&s.data);
        QVERIFY(!printAction(*s.f.context, nullptr, s.data, &grid, fixture("columns"), {}));
        QCOMPARE(s.f.ui.texts("message"), QStringList{"没有数据,无法打印！"});

        s.f.store->exec("insert into sp5(namea,gg,bl) values('钢管','6米',6)");
        s.data.refresh();
        bool detached = false;
        s.f.ui.windows["PrintDialog"] = [&](QDialog *) {
            detached = grid.gridModel()->dataset() == nullptr;
            return 0;
        };
        Sources sources;
        sources.datasets = {{"Query3", &s.data}};
        QVERIFY(printAction(*s.f.context, nullptr, s.data, &grid, fixture("columns"), sources));
        QVERIFY(detached);
        QCOMPARE(grid.gridModel()->dataset(), &s.data);
        QCOMPARE(previewWindow(*s.f.context).preparedReport().pages.first().strings().contains("钢管"), true);

        // A report that cannot be built is reported; no dialog, the grid back.
        Template broken = fixture("columns");
        broken.memo("Memo3")->text = "[Query3.\"nosuch\"]";
        QVERIFY(!printAction(*s.f.context, nullptr, s.data, &grid, broken, sources));
        QCOMPARE(s.f.ui.texts("error").size(), 1);
        QCOMPARE(grid.gridModel()->dataset(), &s.data);

        // A preparation stopped through its progress ends quietly, the wait cursor gone, the grid back.
        sources.progress = [](int, int, const QString &) { return false; };
        QVERIFY(!printAction(*s.f.context, nullptr, s.data, &grid, fixture("columns"), sources));
        QCOMPARE(s.f.ui.log.size(), 3);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(grid.gridModel()->dataset(), &s.data);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
