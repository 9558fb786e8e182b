#include "fixture.h"
#include "printing/preview.h"
#include "printing/printaction.h"
#include "printing/printdialog.h"
#include "widgets/datagrid.h"

#include <QApplication>
#include <QComboBox>
#include <QStyle>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QtTest>

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
        QCOMPARE(printers->itemText(printers->count() - 1), TPrintDialog::pdfEntry());
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
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
