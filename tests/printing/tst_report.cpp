#include "fixture.h"
#include "printing/output.h"
#include "printing/report.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace tolva;
using namespace tolva::report;

namespace {

Template fixture(const QString &name)
{
    QFile file(QStringLiteral(FIXTURES "/%1.json").arg(name));
    if (!file.open(QIODevice::ReadOnly))
        throw ReportError("missing fixture " + name);
    return Template::fromJson(file.readAll());
}

// Texts of one memo over all pages, in order.
QStringList memoTexts(const PreparedReport &r, const QString &memo)
{
    QStringList out;
    for (const PreparedPage &p : r.pages)
        for (const PlacedText &t : p.texts)
            if (t.memo == memo)
                out << t.lines.join('\n');
    return out;
}

struct Groups {
    Fixture f;
    Dataset data{*f.store};
    Sources sources;
    double rowHeight = 40;

    Groups()
    {
        f.store->exec("update dwm set sp2='客户单位和合同号明细表'");
        for (int i = 1; i <= 60; ++i)
            f.store->exec("insert into czbtem(khm,namea,a1,a2) values(:k,:n,:a1,0.5)",
                          {{"k", QString("客户%1").arg(i)}, {"n", i <= 25 ? "钢管" : "扣件"}, {"a1", i}});
        data.open("select * from czbtem");
        sources.datasets = {{"Query1", &data}, {"dwm.Query1", &f.context->titles()}};
        sources.today = QDate(2004, 2, 1);
        sources.hook = [this](const QString &name, MemoState &) -> std::optional<QVariant> {
            if (name == "band2_height")
                return rowHeight;
            if (name == "a1_a")
                return QString("钩子");
            return std::nullopt;
        };
    }
};

// The words of a PDF with their boxes (points), as pdftotext reads them.
struct Word {
    QString text;
    QRectF box;
};
QList<Word> pdfWords(const QString &pdf)
{
    QProcess p;
    p.start("pdftotext", {"-bbox", pdf, "-"});
    p.waitForFinished(30000);
    static const QRegularExpression word(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>");
    QList<Word> words;
    auto it = word.globalMatch(QString::fromUtf8(p.readAllStandardOutput()));
    while (it.hasNext()) {
        const auto m = it.next();
        words << Word{m.captured(5), QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                            QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))};
    }
    return words;
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void groupsOverPagesWithSums()
    {
        Groups g;
        const PreparedReport r = prepare(fixture("groups"), g.sources);
        QVERIFY(r.pageCount() >= 3);
        QCOMPARE(memoTexts(r, "Memo12"), (QStringList{"小计：325.00", "小计：1505.00"}));
        QCOMPARE(memoTexts(r, "Memo13"), QStringList{"合计：1830.00"});
        QCOMPARE(memoTexts(r, "Memo5"), (QStringList{"材料：钢管", "材料：扣件"}));
        // Every row printed once, in order.
        QStringList names;
        for (int i = 1; i <= 60; ++i)
            names << QString("客户%1").arg(i);
        QCOMPARE(memoTexts(r, "Memo6"), names);
        QCOMPARE(memoTexts(r, "Memo8").first(), QString("0.5"));
        QCOMPARE(memoTexts(r, "Memo10").mid(29, 2), (QStringList{"小", "大"}));
        QCOMPARE(memoTexts(r, "Memo11").first(), QString("钩子"));
        // Page header on every page, from another window's result set; date in the Chinese format.
        QCOMPARE(memoTexts(r, "Memo1"), QStringList(r.pageCount(), "客户单位和合同号明细表"));
        QCOMPARE(memoTexts(r, "Memo2").first(), QString("2004年02月01日"));
        QCOMPARE(memoTexts(r, "Memo3").size(), r.pageCount()); // column header on each page
        // Hidden memos and memos outside every band are not printed.
        QVERIFY(memoTexts(r, "Memo9").isEmpty());
        QVERIFY(memoTexts(r, "Memo15").isEmpty());
        for (int p = 0; p < r.pageCount(); ++p) {
            const PreparedPage &page = r.pages[p];
            double footerTop = 0;
            for (const PlacedText &t : page.texts)
                if (t.memo == "Memo14") {
                    QCOMPARE(t.lines.join(""), QString(" 第%1页 共%2页").arg(p + 1).arg(r.pageCount()));
                    footerTop = t.rect.top();
                }
            QVERIFY(footerTop > 0);
            for (const PlacedText &t : page.texts)
                if (t.memo != "Memo14")
                    QVERIFY2(t.rect.bottom() <= footerTop, qPrintable(t.memo + " over the footer"));
            QVERIFY(!page.lines.isEmpty()); // frames
        }
    }

    void pageScriptSetsBandHeights_data()
    {
        QTest::addColumn<double>("height");
        QTest::newRow("20") << 20.0;
        QTest::newRow("40") << 40.0;
        QTest::newRow("55") << 55.0;
    }

    void pageScriptSetsBandHeights()
    {
        QFETCH(double, height);
        Groups g;
        g.rowHeight = height;
        const PreparedReport r = prepare(fixture("groups"), g.sources);
        QList<double> tops;
        for (const PlacedText &t : r.pages.first().texts)
            if (t.memo == "Memo6")
                tops << t.rect.top();
        QVERIFY(tops.size() > 2);
        QCOMPARE(tops[2] - tops[1], height);
        // Fewer rows per page as the rows grow.
        const int perPage = int(tops.size());
        QVERIFY(perPage * height <= 1123 - 144);
    }

    void hookMayHideTheMemoItIsAskedFor()
    {
        Groups g;
        Template t = fixture("groups");
        t.memo("Memo11")->text = "[hideme]";
        g.sources.hook = [](const QString &name, MemoState &memo) -> std::optional<QVariant> {
            if (name == "band2_height")
                return 40.0;
            if (name == "hideme") {
                memo.visible = QString(memo.name) != "Memo11";
                return QString("x");
            }
            if (name == "a1_a")
                return QString();
            return std::nullopt;
        };
        const PreparedReport r = prepare(t, g.sources);
        QVERIFY(memoTexts(r, "Memo11").isEmpty());
        QCOMPARE(memoTexts(r, "Memo6").size(), 60);
    }

    // Sums stand wherever an expression may: in a variable, in a text the value hook gives a memo,
    // nested in another sum; each adds the rows of the band it is placed in.
    void sumsInVariablesAndHookTexts()
    {
        Groups g;
        Template t = fixture("groups");
        t.variables << Variable{"total_a1", "sum([Query1.\"a1\"])"}
                    << Variable{"twice", "[sum([[Query1.\"a1\"]*2])]"};
        t.memo("Memo12")->text = "小计：[total_a1]";
        t.memo("Memo13")->text = "[bytheHook]";
        t.memo("Memo14")->text = "[sum([sum([Query1.\"a1\"])])]/[twice]";
        const auto hook = g.sources.hook;
        g.sources.hook = [hook](const QString &name, MemoState &memo) -> std::optional<QVariant> {
            if (name == "bytheHook") {
                memo.text = "合计：[sum([Query1.\"a1\"])] 双倍：[twice]";
                return QVariant();
            }
            return hook(name, memo);
        };
        const PreparedReport r = prepare(t, g.sources);
        QCOMPARE(memoTexts(r, "Memo12"), (QStringList{"小计：325.00", "小计：1505.00"}));
        QCOMPARE(memoTexts(r, "Memo13"), QStringList{"合计：1830.00 双倍：3660.00"});
        // The page footer adds the rows placed so far; the last page all of them.
        const QStringList footers = memoTexts(r, "Memo14");
        QCOMPARE(footers.last(), QString("1830/3660"));
        QVERIFY(footers.first() != footers.last());
        QCOMPARE(g.data.currentRow(), 0); // the result set is back on its row
    }

    void twoColumns()
    {
        Fixture f;
        for (int i = 0; i < 20; ++i)
            f.store->exec("insert into sp5(namea,gg,bl) values(:n,'6米',1.5)", {{"n", QString("材料%1").arg(i)}});
        Dataset specs(*f.store);
        specs.open("select * from sp5");
        Sources s;
        s.datasets = {{"Query3", &specs}};
        const PreparedReport r = prepare(fixture("columns"), s);
        // 20 rows of 100 units: 9 fit a column, so the first page holds two columns, the second the rest.
        QCOMPARE(r.pageCount(), 2);
        QList<double> xs;
        for (const PlacedText &t : r.pages.first().texts)
            if (t.memo == "Memo3" && !xs.contains(t.rect.left()))
                xs << t.rect.left();
        QCOMPARE(xs, (QList<double>{72, 72 + (794 - 144) / 2.0}));
        QCOMPARE(memoTexts(r, "Memo2").size(), 3); // the column header heads each column
        QCOMPARE(memoTexts(r, "Memo4").first(), QString("1.500000"));
        QCOMPARE(memoTexts(r, "Memo5"), (QStringList{" 第1页 共2页", " 第2页 共2页"}));
    }

    // A report summary spans both columns: it goes below the longer one, never over its rows.
    void summaryBelowBothColumns_data()
    {
        QTest::addColumn<int>("rows");
        QTest::newRow("left column longer") << 12;
        QTest::newRow("both full, then two rows") << 20;
        QTest::newRow("one row") << 1;
    }

    void summaryBelowBothColumns()
    {
        QFETCH(int, rows);
        Fixture f;
        for (int i = 0; i < rows; ++i)
            f.store->exec("insert into sp5(namea,gg,bl) values(:n,'6米',1.5)", {{"n", QString("材料%1").arg(i)}});
        Dataset specs(*f.store);
        specs.open("select * from sp5");
        Sources s;
        s.datasets = {{"Query3", &specs}};
        Template t = fixture("columns");
        Band summary;
        summary.name = "band5";
        summary.type = BandType::ReportSummary;
        summary.top = 180;
        summary.height = 30;
        t.bands << summary;
        Memo total;
        total.name = "Total";
        total.rect = QRectF(72, 185, 650, 20);
        total.text = "共[sum(1)]种";
        t.memos << total;
        const PreparedReport r = prepare(t, s);
        QCOMPARE(memoTexts(r, "Total"), QStringList{QString("共%1种").arg(rows)});
        for (const PreparedPage &page : r.pages)
            for (const PlacedText &summary : page.texts)
                if (summary.memo == "Total")
                    for (const PlacedText &other : page.texts)
                        if (other.memo == "Memo3" || other.memo == "Memo4")
                            QVERIFY2(other.rect.bottom() <= summary.rect.top(), qPrintable(other.lines.join("")));
    }

    // The lists of the program's own templates number every page, not just the last.
    void listsNumberEveryPage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("insert");
        QTest::newRow("contracts") << "contracts"
                                   << "insert into sp2(khm,numa,jz,begina,enda) values(:k,:n,'否','2004-01-01','2004-12-31')";
        QTest::newRow("payments") << "payments"
                                  << "insert into sp3(khm,numa,datea,lx,a1) values(:k,:n,'2004-01-01','现金',100)";
    }

    void listsNumberEveryPage()
    {
        QFETCH(QString, name);
        QFETCH(QString, insert);
        Fixture f;
        for (int i = 0; i < 90; ++i)
            f.store->exec(insert, {{"k", QString("客户%1").arg(i)}, {"n", QString("HT%1").arg(i)}});
        if (name == "payments")
            f.store->exec("insert into sp2(khm,numa) values('客户0','HT0')");
        Dataset rows(*f.store), contract(*f.store);
        rows.open(name == "contracts" ? "select * from sp2" : "select * from sp3");
        contract.open("select * from sp2");
        Sources s;
        s.datasets = {{"Query1", &rows}, {"Query2", &contract}, {"dwm.Query1", &f.context->titles()}};
        const PreparedReport r = prepare(Template::load(name), s);
        QVERIFY(r.pageCount() >= 3);
        for (int p = 0; p < r.pageCount(); ++p)
            QVERIFY2(r.pages[p].strings().contains(QString(" 第%1页 共%2页").arg(p + 1).arg(r.pageCount())),
                     qPrintable(QString("page %1").arg(p + 1)));
    }

    void bandTallerThanAPageIsPlacedOnce()
    {
        Groups g;
        g.rowHeight = 5000;
        const PreparedReport r = prepare(fixture("groups"), g.sources);
        QCOMPARE(memoTexts(r, "Memo6").size(), 60);
        QVERIFY(r.pageCount() >= 60);
    }

    void errorsAreReported()
    {
        Groups g;
        Template t = fixture("groups");
        t.memo("Memo6")->text = "[Query1.\"nosuch\"]";
        QVERIFY_THROWS_EXCEPTION(ReportError, prepare(t, g.sources));
        t.memo("Memo6")->text = "[Query9.\"khm\"]";
        QVERIFY_THROWS_EXCEPTION(ReportError, prepare(t, g.sources));
        t.memo("Memo6")->text = "[[Query1.\"a1\"] +]";
        QVERIFY_THROWS_EXCEPTION(ReportError, prepare(t, g.sources));
        t.memo("Memo6")->text = "[nosuchvariable]";
        QVERIFY_THROWS_EXCEPTION(ReportError, prepare(t, g.sources));
        QVERIFY_THROWS_EXCEPTION(ReportError, Template::fromJson("{"));
        QCOMPARE(g.data.currentRow(), 0); // the result set is back on its row
    }

    // Preparation tells how far it got over both passes and stops when asked to.
    void progressAndStop()
    {
        Groups g;
        QList<QPair<int, int>> calls;
        g.sources.progress = [&](int done, int total, const QString &what) {
            calls << qMakePair(done, total);
            return what == "分组测试报表";
        };
        g.data.moveTo(11);
        const PreparedReport r = prepare(fixture("groups"), g.sources);
        QVERIFY(r.pageCount() >= 3);
        QCOMPARE(g.data.currentRow(), 11);
        QCOMPARE(calls.first(), qMakePair(0, 120));
        QCOMPARE(calls.last(), qMakePair(120, 120));
        for (int i = 1; i < calls.size(); ++i)
            QVERIFY(calls[i].first >= calls[i - 1].first);
        QVERIFY(calls.size() >= 120);

        g.data.moveTo(7);
        int asked = 0;
        g.sources.progress = [&](int done, int, const QString &) {
            ++asked;
            return done < 30;
        };
        QVERIFY_THROWS_EXCEPTION(Stopped, prepare(fixture("groups"), g.sources));
        QCOMPARE(asked, 31);
        QCOMPARE(g.data.currentRow(), 7); // back on its row
    }

    void pageRanges_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<int>>("pages");
        QTest::newRow("example") << "1,3,5-12" << 20 << true << QList<int>{1, 3, 5, 6, 7, 8, 9, 10, 11, 12};
        QTest::newRow("spaces and order") << " 7 , 2-3 " << 10 << true << QList<int>{2, 3, 7};
        QTest::newRow("beyond the last page") << "4-9" << 5 << true << QList<int>{4, 5};
        QTest::newRow("backwards") << "5-3" << 10 << false << QList<int>{};
        QTest::newRow("zero") << "0" << 10 << false << QList<int>{};
        QTest::newRow("letters") << "1,a" << 10 << false << QList<int>{};
        QTest::newRow("empty") << "" << 10 << false << QList<int>{};
    }

    void pageRanges()
    {
        QFETCH(QString, text);
        QFETCH(int, count);
        QFETCH(bool, ok);
        QFETCH(QList<int>, pages);
        QList<int> parsed;
        QCOMPARE(parsePageRanges(text, count, parsed), ok);
        if (ok)
            QCOMPARE(parsed, pages);
    }

    void printOrders()
    {
        QCOMPARE(printOrder(4, {}, Parity::All, 1, true, false), (QList<int>{1, 2, 3, 4}));
        QCOMPARE(printOrder(4, {}, Parity::Odd, 1, true, false), (QList<int>{1, 3}));
        QCOMPARE(printOrder(4, {2, 3, 4}, Parity::Even, 1, true, false), (QList<int>{2, 4}));
        QCOMPARE(printOrder(3, {}, Parity::All, 2, true, false), (QList<int>{1, 2, 3, 1, 2, 3}));
        QCOMPARE(printOrder(3, {}, Parity::All, 2, false, false), (QList<int>{1, 1, 2, 2, 3, 3}));
        QCOMPARE(printOrder(3, {}, Parity::All, 2, true, true), (QList<int>{1, 2, 3})); // the printer copies
    }

    void saveAndLoad()
    {
        Groups g;
        const PreparedReport r = prepare(fixture("groups"), g.sources);
        const QString path = g.f.dir.filePath("saved.report");
        r.save(path, g.f.dir.path());
        const PreparedReport back = PreparedReport::load(path, g.f.dir.path());
        QCOMPARE(back.pageCount(), r.pageCount());
        QCOMPARE(back.pages.last().strings(), r.pages.last().strings());
        QCOMPARE(back.pages.first().lines.size(), r.pages.first().lines.size());
        QVERIFY_THROWS_EXCEPTION(ReportError, PreparedReport::load(g.f.dir.filePath("nosuch"), g.f.dir.path()));
    }

    // Texts are measured as they are drawn and never leave their cells: a full-length customer name
    // of the contract list, and lines wrapped in a cell, stay inside it in the PDF.
    void textsStayInTheirCells()
    {
        Fixture f;
        const QString name = "北京市朝阳区建筑材料租赁有限公"; // 30 GBK bytes, the whole column
        f.store->exec("insert into sp2(khm,numa,jz) values(:k,'HT001','否')", {{"k", name}});
        Dataset rows(*f.store);
        rows.open("select * from sp2");
        Sources s;
        s.datasets = {{"Query1", &rows}, {"dwm.Query1", &f.context->titles()}};
        Template t = Template::load("contracts");
        Memo wrapped;
        wrapped.name = "Wrapped";
        wrapped.rect = QRectF(72, 40, 200, 24);
        wrapped.text = QString("建筑材料租赁").repeated(12);
        wrapped.wordWrap = true;
        wrapped.stretch = true;
        t.memos << wrapped;
        const PreparedReport r = prepare(t, s);
        const QString pdf = f.dir.filePath("cells.pdf");
        writePdf(r, pdf, f.dir.path());
        const double right = (72 + 200) * 0.75; // points
        QString drawn;
        for (const Word &w : pdfWords(pdf))
            if (w.box.left() < right && w.box.right() > 72 * 0.75 && (w.text.contains("北京") || w.text.contains("材料"))) {
                drawn += w.text;
                QVERIFY2(w.box.right() <= right + 0.01, qPrintable(QString("%1 ends at %2 > %3").arg(w.text).arg(w.box.right()).arg(right)));
            }
        QVERIFY2(drawn.contains(name), qPrintable(drawn));
        QVERIFY(memoTexts(r, "Wrapped").first().count('\n') >= 4);
    }

    // What does not fit its cell is cut at the cell's edge, on every device.
    void textIsClippedToItsCell()
    {
        PreparedPage page;
        page.size = QSizeF(794, 1123);
        PlacedText t;
        t.rect = QRectF(100, 100, 60, 20);
        t.lines << "一段放不下的很长的文字一段放不下的很长的文字";
        t.align = Qt::AlignLeft;
        page.texts << t;
        for (double scale : {0.6, 1.0, 2.5}) {
            QImage image(QSize(400, 300) * scale, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            render(painter, page, scale);
            painter.end();
            int inside = 0, outside = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (qGray(image.pixel(x, y)) < 128)
                        ++(QRectF(t.rect.topLeft() * scale, t.rect.size() * scale).adjusted(-1, -1, 1, 1).contains(x, y)
                               ? inside
                               : outside);
            QVERIFY(inside > 0);
            QCOMPARE(outside, 0);
        }
    }

    void pdfCarriesTheChineseText()
    {
        Groups g;
        const PreparedReport r = prepare(fixture("groups"), g.sources);
        const QString pdf = g.f.dir.filePath("groups.pdf");
        writePdf(r, pdf, g.f.dir.path());
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY2(text.waitForFinished(30000), "pdftotext (poppler-utils) is needed");
        const QString out = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(out.contains("客户单位和合同号明细表"), qPrintable(out.left(400)));
        QVERIFY(out.contains("2004年02月01日"));
        QVERIFY2(out.contains("小计：325.00"), qPrintable(out.left(3000)));
        QVERIFY(out.contains("合计：1830.00"));
        QVERIFY(out.contains(QString("第1页 共%1页").arg(r.pageCount())));
        QProcess fonts;
        fonts.start("pdffonts", {pdf});
        QVERIFY(fonts.waitForFinished(30000));
        const QString list = QString::fromUtf8(fonts.readAllStandardOutput());
        QVERIFY2(list.contains("UMingCN"), qPrintable(list));
        for (const QString &line : list.split('\n'))
            if (line.contains("UMing"))
                QVERIFY2(line.contains(" yes "), qPrintable(line)); // embedded
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
