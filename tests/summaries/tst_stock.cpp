#include "screens.h"
#include "export/chartwindow.h"
#include "printing/preview.h"
#include "printing/printaction.h"
#include "summaries/stock.h"
#include "summaries/stockscreens.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QComboBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QtTest>

using namespace tolva;

namespace {

// 钢管 (6 m a piece, 1,000 m in stock) and 扣件 (no movements). H1 is open and its slips carry two
// customer names (the customer was renamed between them); H2 is settled; H3 is open without slips.
void fill(Fixture &f)
{
    f.store->exec("insert into sp1(namea,dj,kc,numsb) values('钢管',0.01,1000,2),('扣件',0.02,50,null)");
    f.store->exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','H1','否','2004-01-01','2004-12-31'),"
                  "('乙公司','H2','是','2004-01-01','2004-12-31'),('丙公司','H3','否','2004-01-01','2004-12-31')");
    f.store->exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1) values"
                  "('甲公司','H1','2004-03-01','钢管','6米','根','米',6,10,0),"
                  "('甲公司','H1','2004-03-01','钢管','6米','根','米',6,10,0),"
                  "('甲公司（新）','H1','2004-04-01','钢管','6米','根','米',6,0,2),"
                  "('乙公司','H2','2004-03-01','钢管','6米','根','米',6,100,0)");
}

QStringList printed(Fixture &f, const std::function<void()> &print)
{
    f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
    print();
    QStringList texts;
    for (const auto &page : previewWindow(*f.context).preparedReport().pages)
        texts += page.strings();
    return texts;
}

} // namespace

class TestStock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Pieces count times their ratio; settled contracts and materials without slips leave the stock.
    void stockOfEveryMaterial()
    {
        Fixture f;
        fill(f);
        Open<Tkccx> s(f);
        QStringList shown;
        Dataset &rows = s.screen.stock();
        rows.first();
        for (int i = 0; i < rows.rowCount(); ++i, rows.next())
            shown << QStringList{rows.text("namea"), QString::number(rows.number("kc")), QString::number(rows.number("kc1")),
                                 QString::number(rows.number("kc2")), QString::number(rows.number("nowkc"))}
                         .join(' ');
        QCOMPARE(shown, (QStringList{"钢管 1000 120 12 892", "扣件 50 0 0 50"}));
        // The count is read, never written: the materials stay as typed.
        QCOMPARE(joinedRows(*f.store, "select namea,kc,kc1,kc2,nowkc from sp1"),
                 (QStringList{"钢管 1000.0   ", "扣件 50.0   "}));
        const QStringList texts = printed(f, [&] { s.click("btn1_edit"); });
        QVERIFY(texts.contains("租赁材料库存情况表"));
        QVERIFY(texts.contains("892.0000"));
    }

    // Each customer name a contract's slips carry is listed; a search counts settled contracts too.
    void balancesPerCustomerName()
    {
        Fixture f;
        fill(f);
        Open<Tkccx1> s(f);
        QCOMPARE(joinedRows(*f.store, stock::balanceStatement(0).replace("*", "khm,a1,a2,a3")),
                 (QStringList{"甲公司 120.0 0.0 120.0", "甲公司（新） 0.0 12.0 -12.0"}));
        s.field("Edit1")->setText("公司");
        s.click("btn1_add");
        QCOMPARE(s.screen.balances().rowCount(), 3);
        s.screen.findChild<QComboBox *>("check1")->setCurrentIndex(1);
        Q_EMIT s.screen.findChild<QComboBox *>("check1")->activated(1);
        const QStringList texts = printed(f, [&] { s.click("btn1_edit"); });
        QVERIFY(texts.contains("小    计"));
        QVERIFY(texts.contains("708.0000")); // 120 − 12 + 600 on hire in 钢管
    }

    // Every slip is a row of its own in the detail view; summing per size needs all customers.
    void detailRowsAndChoices()
    {
        Fixture f;
        fill(f);
        Open<Tczblrnowcx> s(f);
        QCOMPARE(s.screen.contracts().text("numa"), QString("H3")); // the last open contract
        QCOMPARE(s.screen.rows().isOpen(), false);
        QVERIFY(!s.button("btn1_print")->isEnabled());

        s.screen.contracts().first();
        QCOMPARE(joinedRows(*f.store, "select a1,a2,a4 from czbnow1"),
                 (QStringList{"10.0 60.0 60.0", "10.0 60.0 60.0", "0.0 0.0 -12.0"}));

        auto *check3 = s.screen.findChild<QComboBox *>("check3");
        check3->setCurrentIndex(2);
        Q_EMIT check3->activated(2);
        QCOMPARE(check3->currentIndex(), 1);
        QCOMPARE(joinedRows(*f.store, "select khm,a1,b1,a4 from czbnow1"),
                 (QStringList{"甲公司 20.0 0.0 120.0", "甲公司（新） 0.0 2.0 -12.0"}));

        // 钢管 has two decimals: the converted quantities print with two, the pieces with none.
        const QStringList texts = printed(f, [&] { s.click("btn1_print"); });
        QVERIFY(texts.contains("客户名称:甲公司  合同号:H1   规格显示方式:按客户汇总"));
        QVERIFY(texts.contains("钢管"));
        QVERIFY(texts.contains("小  计"));
        QVERIFY(texts.contains("结  余"));
        QVERIFY(texts.contains("120.00"));
        QVERIFY(texts.contains("108.00")); // the group's balance
        QVERIFY(texts.contains("20"));
        QVERIFY(!texts.contains("120.0000"));
    }

    // The detail print adds up each material once, however its rows lie between the others'.
    void detailPrintGroupsEachMaterialOnce()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1) values"
                      "('丙公司','H3','2004-03-01','钢管','6米','根','米',6,10,0),"
                      "('丙公司','H3','2004-03-10','扣件','直角','个','个',1,50,0),"
                      "('丙公司','H3','2004-03-20','钢管','6米','根','米',6,5,0)");
        Open<Tczblrnowcx> s(f);
        QCOMPARE(s.screen.rows().rowCount(), 3);
        const QStringList texts = printed(f, [&] { s.click("btn1_print"); });
        QCOMPARE(texts.count("小  计"), 2);
        QVERIFY(texts.contains("90.00")); // 钢管: 60 + 30 in one subtotal
    }

    // A material missing from sp1 prints its converted quantities with the default decimals, also
    // as the first material.
    void detailOfAMaterialMissingFromTheMaterials()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1) values"
                      "('丙公司','H3','2004-03-01','模板','半米','块','米',0.5,613,0)");
        Open<Tczblrnowcx> s(f);
        QCOMPARE(s.screen.contracts().text("numa"), QString("H3"));
        QCOMPARE(s.screen.rows().rowCount(), 1);
        const QStringList texts = printed(f, [&] { s.click("btn1_print"); });
        QVERIFY(texts.contains("306.50"));
        QVERIFY(!texts.contains("307"));
    }

    // The stock picture: per material its stock in the yard and on hire stacked; it renders,
    // saves as PNG and prints to PDF through the print dialog.
    // A count over the ledger read a part at a time gives what it gives in one part: the stock,
    // the balances (unsettled, and a search that lists settled contracts), the detail rows in
    // their order and the sums per customer and per size, over contracts whose slips lie
    // scattered across the parts and with rows gone from between.
    void countsInPartsAsInOnePass()
    {
        Fixture f;
        Store &s = *f.store;
        s.exec("insert into sp1(namea,dj,kc,numsb) values('钢管',0.01,1000,2),('扣件',0.02,50,0),('模板',0.03,0,0)");
        QVector<QVector<QVariant>> contracts, slips;
        for (int c = 0; c < 23; ++c)
            contracts << QVector<QVariant>{QStringLiteral("客户%1").arg(c % 9), QStringLiteral("H%1").arg(c, 2, 10, QChar('0')),
                                           c % 4 == 1 ? "是" : "否"};
        s.insertRows("sp2", {"khm", "numa", "jz"}, contracts);
        const char *materials[] = {"钢管", "扣件", "模板"};
        for (int i = 0; i < 700; ++i) {
            const int c = (i * 7) % 23;
            slips << QVector<QVariant>{QStringLiteral("客户%1").arg(c % 9 + (i % 50 == 0 ? 1 : 0)),
                                       QStringLiteral("H%1").arg(c, 2, 10, QChar('0')), QDate(2004, 3, 1).addDays(i % 31),
                                       materials[i % 3], QStringLiteral("规格%1").arg(i % 4), 0.5 * (1 + i % 5),
                                       i % 3 == 2 ? QVariant() : QVariant(double(i % 11)), double(i % 3)};
        }
        s.insertRows("czbnow", {"khm", "numa", "datea", "namea", "gg", "bl", "a1", "b1"}, slips);
        s.exec("delete from czbnow where rowid - 13 * cast(rowid / 13 as integer) = 5");

        const auto counts = [&](const PartSizes &sizes) {
            QStringList out;
            Dataset rows(s);
            stock::open(s, rows, {}, sizes);
            out << joinedRows(s, "select * from (" + rows.sql() + ") x");
            stock::countBalances(s, {}, {}, sizes);
            out << joinedRows(s, "select khm,namea,a1,a2,a3 from czbtem order by rowid");
            stock::countBalances(s, {false, "客户1"}, {}, sizes);
            out << joinedRows(s, "select khm,namea,a1,a2,a3 from czbtem order by rowid");
            for (const auto grouping : {details::Grouping::Detail, details::Grouping::PerCustomer, details::Grouping::PerSize}) {
                details::Choice all;
                all.customers = details::Customers::All;
                all.grouping = grouping;
                details::compute(s, all, {}, sizes);
                out << joinedRows(s, "select * from czbnow1 order by rowid");
                all.materials = details::Materials::One;
                all.material = "扣件";
                details::compute(s, all, {}, sizes);
                out << joinedRows(s, "select * from czbnow1 order by rowid");
            }
            return out;
        };
        const QStringList onePass = counts({});
        QVERIFY(onePass.size() > 300);
        QCOMPARE(counts({40, 3}), onePass);
    }

    void stockChart()
    {
        Fixture f;
        fill(f);
        Open<Tkccx> s(f);
        const QString png = f.dir.filePath("库存.png"), pdf = f.dir.filePath("库存.pdf");
        QList<QList<double>> bars;
        QStringList materials;
        QImage picture;
        QList<QRgb> colours;
        f.ui.windows["ChartWindow"] = [&](QDialog *d) {
            auto *w = static_cast<ChartWindow *>(d);
            auto *series = qobject_cast<QStackedBarSeries *>(w->currentChart()->series().value(0));
            for (QBarSet *set : series->barSets()) {
                QList<double> values;
                for (int i = 0; i < set->count(); ++i)
                    values << set->at(i);
                bars << values;
                colours << set->color().rgb();
            }
            materials = qobject_cast<QBarCategoryAxis *>(w->currentChart()->axes(Qt::Horizontal).value(0))->categories();
            picture = renderChart(w->currentChart(), QSize(600, 400));
            f.ui.answers << png;
            w->findChild<QPushButton *>("btn_save")->click();
            f.ui.windows["PrintDialog"] = [&](QDialog *p) {
                static_cast<QPrintDialog *>(p)->printer()->setOutputFileName(pdf);
                return int(QDialog::Accepted);
            };
            w->findChild<QPushButton *>("btn_print")->click();
            return 0;
        };
        s.click("btn1_chart");
        QCOMPARE(materials, (QStringList{"钢管", "扣件"}));
        QCOMPARE(bars, (QList<QList<double>>{{892, 50}, {108, 0}})); // in the yard, on hire
        // The picture shows both parts of the bars, and the saved one and the PDF are there.
        QList<int> painted(colours.size());
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                for (int c = 0; c < colours.size(); ++c)
                    painted[c] += (picture.pixel(x, y) & 0xFFFFFF) == (colours[c] & 0xFFFFFF);
        QVERIFY2(painted.value(0) > 1000 && painted.value(1) > 100, qPrintable(QString("%1 %2").arg(painted.value(0)).arg(painted.value(1))));
        QVERIFY(QImage(png).width() > 100);
        QVERIFY(QFileInfo(pdf).size() > 1000);
        QVERIFY(f.ui.texts("message").isEmpty());
    }
};

QTEST_MAIN(TestStock)
#include "tst_stock.moc"
