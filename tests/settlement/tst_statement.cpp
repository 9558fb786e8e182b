#include "screens.h"
#include "statementdata.h"

#include "printing/preview.h"
#include "printing/printaction.h"
#include "settlement/chooserscreen.h"
#include "settlement/statementcli.h"
#include "settlement/statementprint.h"
#include "settlement/statementscreen.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTextStream>
#include <QtTest>

using namespace tolva;
using namespace tolva::settlement;

namespace {

// H1 of 甲公司: Abc (three decimals, sp1 spelled in other letter case than the movements) sent
// 150 and partly returned, 扣件 (no decimals) sent once; a deposit, a repair fee, no rent received.
// K2 of 乙公司 and the material 模板 have no movements. Under method 0 over March 2004: Abc 150.00 + 180.00, 扣件 5.20.
void fill(Fixture &f)
{
    f.store->exec("insert into sp1(namea,dj,numsb) values('Abc',0.1,3),('扣件',0.01,0),('模板',0.05,2)");
    f.store->exec("insert into sp2(khm,numa,jz,begina,enda) values"
                  "('甲公司','H1','否','2004-03-01','2004-03-31'),('乙公司','K2','否','2004-03-01','2004-03-31'),"
                  "('丙公司','C3','是','2004-03-01','2004-03-31')");
    addMoves(*f.store, {"2004-03-01 abc 6米 根 米 1.5 100 0", "2004-03-11 abc 6米 根 米 1.5 0 40",
                        "2004-03-05 扣件 直角 个 个 1 20 0"});
    f.store->exec("insert into sp3(khm,numa,lx,a1) values('甲公司','H1','银行',100)");
    f.store->exec("insert into czb1(khm,numa,a4) values('甲公司','H1',12.5)");
    f.logIn("录入员");
}

// Texts of one memo over all pages, in order.
QStringList memoTexts(const report::PreparedReport &r, const QString &memo)
{
    QStringList out;
    for (const report::PreparedPage &p : r.pages)
        for (const report::PlacedText &t : p.texts)
            if (t.memo.compare(memo, Qt::CaseInsensitive) == 0)
                out << t.lines.join('\n');
    return out;
}

// The statement of H1 in contract dates, method 0, printed with the layout and money block given.
report::PreparedReport printed(Fixture &f, int layout, int moneyBlock, const std::function<void()> &beforePrint = {})
{
    f.store->exec("update srf set b1=0, b6=:b6, b5=:b5, b3=:b3",
                  {{"b6", layout}, {"b5", moneyBlock}, {"b3", moneyBlock ? 21 : 43}});
    const Request req{"H1", "甲公司", QDate(2004, 3, 1), QDate(2004, 3, 31), DateMode::ContractDates};
    const Preparation p = prepare(*f.store, req);
    if (!p.ok())
        qFatal("preparation refused");
    const Result result = compute(*f.store, req, {Method::StartDayFree, QString()});
    if (beforePrint)
        beforePrint();
    Dataset contract(*f.store);
    contract.open("select * from sp2 where numa='H1'");
    return prepareStatement(*f.store, result, contract, f.context->titles(), req.start, req.end, p.totals,
                            "月底结清 [请核对]", QDate(2004, 4, 1));
}

} // namespace

class TestStatement : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each layout through its prepared pages: quantities with the material's decimals, the
    // group subtotal and the grand total, the money block with the amount due in capitals.
    void layouts_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QStringList>("texts");

        // Abc: send, return, closing row; then 扣件: send, closing row.
        QTest::newRow("1: movement, three decimals, then none") << 0 << "Memo10"
                                                                << QStringList{"150.000", "-60.000", "", "20", ""};
        QTest::newRow("1: date cell") << 0 << "Memo5"
                                      << QStringList{"2004-03-01", "2004-03-11", "2004-03-31", "2004-03-05",
                                                     "2004-03-31"};
        // Days print whole where they are whole; the titles of the narrow columns take two lines.
        QTest::newRow("1: days") << 0 << "MemoD9" << QStringList{"", "10", "20", "", "26"};
        QTest::newRow("1: title of the unit") << 0 << "MemoH6" << QStringList{"换算\n单位"};
        QTest::newRow("1: title of the days") << 0 << "MemoH9" << QStringList{"租用\n天数"};
        QTest::newRow("1: title of the days stopped") << 0 << "MemoH10" << QStringList{"报停\n天数"};
        QTest::newRow("1: subtotal balances") << 0 << "Memo40" << QStringList{"90.000", "20"};
        QTest::newRow("1: subtotals") << 0 << "MemoF12" << QStringList{"330.00", "5.20"};
        QTest::newRow("1: grand total") << 0 << "MemoT12" << QStringList{"335.20"};

        QTest::newRow("2: sent") << 1 << "Memo10" << QStringList{"150.000", "", "", "20", ""};
        QTest::newRow("2: returned, positive") << 1 << "Memo20" << QStringList{"", "60.000", "", "", ""};
        QTest::newRow("2: balance") << 1 << "Memo30" << QStringList{"150.000", "90.000", "90.000", "20", "20"};
        QTest::newRow("2: days") << 1 << "MemoD7" << QStringList{"", "10", "20", "", "26"};
        QTest::newRow("2: running rent") << 1 << "MemoD10" << QStringList{"", "150.00", "330.00", "", "5.20"};
        QTest::newRow("2: subtotals") << 1 << "MemoF9" << QStringList{"330.00", "5.20"};
        QTest::newRow("2: grand total") << 1 << "MemoT9" << QStringList{"335.20"};

        QTest::newRow("3: interval start, empty at zero rent") << 2 << "Memo1041"
            << QStringList{"", "2004-03-01", "2004-03-11", "", "2004-03-05"};
        QTest::newRow("3: interval end") << 2 << "Memo1042"
            << QStringList{"", "2004-03-11", "2004-03-31", "", "2004-03-31"};
        QTest::newRow("3: days") << 2 << "Memo8" << QStringList{"", "10", "20", "", "26"};
        QTest::newRow("3: grand total") << 2 << "MemoT11" << QStringList{"335.20"};

        // The money block: no rent received prints an empty cell; a contract without an other
        // charge prints " 其它 " and an empty amount; due = 335.20 − 100 + 12.50.
        for (int layout = 0; layout < 3; ++layout) {
            const QByteArray n = QByteArray::number(layout + 1);
            QTest::newRow((n + ": period").constData()) << layout << "Memo24" << QStringList{"日期从2004-03-01到2004-03-31止"};
            QTest::newRow((n + ": deposits").constData()) << layout << "Memo55" << QStringList{"100.00"};
            QTest::newRow((n + ": rent received").constData()) << layout << "Memo54" << QStringList{""};
            QTest::newRow((n + ": repair fees").constData()) << layout << "Memo57" << QStringList{"12.50"};
            QTest::newRow((n + ": other charge").constData()) << layout << "Memo53" << QStringList{" 其它 "};
            QTest::newRow((n + ": other amount").constData()) << layout << "Memo59" << QStringList{""};
            QTest::newRow((n + ": amount due").constData()) << layout << "Memo58" << QStringList{"247.70"};
            QTest::newRow((n + ": in capitals").constData()) << layout << "Memo63" << QStringList{"贰佰肆拾柒元柒角整"};
            QTest::newRow((n + ": remark as typed").constData()) << layout << "Memo46" << QStringList{"月底结清 [请核对]"};
        }
    }

    void layouts()
    {
        QFETCH(int, layout);
        QFETCH(QString, memo);
        QFETCH(QStringList, texts);
        Fixture f;
        fill(f);
        const report::PreparedReport r = printed(f, layout, 1);
        QCOMPARE(memoTexts(r, memo), texts);
        QCOMPARE(f.store->scalar("select a1 from sp2 where numa='H1'").toString(), QString(" 其它 "));
        QCOMPARE(f.store->scalar("select a2 from sp2 where numa='H1'").toDouble(), 0.0);
    }

    // A material that sp1 no longer holds prints its quantities with the default decimals, not
    // with those of the material printed before it.
    void missingMaterialPrintsWithDefaultDecimals()
    {
        Fixture f;
        fill(f);
        const report::PreparedReport r =
            printed(f, 0, 1, [&] { f.store->exec("delete from sp1 where namea='扣件'"); });
        QCOMPARE(memoTexts(r, "Memo10"), (QStringList{"150.000", "-60.000", "", "20.00", ""}));
        QCOMPARE(memoTexts(r, "Memo40"), (QStringList{"90.000", "20.00"}));
    }

    // With the money block the page numbers print under it; without it, under the grand total.
    void moneyBlockPlacesThePageLine()
    {
        Fixture f;
        fill(f);
        const report::PreparedReport with = printed(f, 1, 1);
        QCOMPARE(memoTexts(with, "Memo60"), QStringList{" 第1页 共1页"});
        QCOMPARE(memoTexts(with, "Memo43"), QStringList());
        const report::PreparedReport without = printed(f, 1, 0);
        QCOMPARE(memoTexts(without, "Memo43"), QStringList{" 第1页 共1页"});
        QCOMPARE(memoTexts(without, "Memo58"), QStringList());
        QCOMPARE(memoTexts(without, "Memo60"), QStringList());
        // Under the grand total's row, inside its band.
        double totalY = 0, pageY = 0;
        for (const report::PlacedText &t : without.pages.last().texts) {
            if (t.memo == "MemoT9")
                totalY = t.rect.bottom();
            if (t.memo == "Memo43")
                pageY = t.rect.top();
        }
        QVERIFY(pageY >= totalY && pageY < totalY + 10);
    }

    // The chooser's confirmation shows the statement with its totals; a single material reruns for
    // that material only; a price changed in the chooser reaches the next statement.
    void chooserShowsTheStatement()
    {
        Fixture f;
        fill(f);
        Open<Tczbcx1> s(f);
        QCOMPARE(s.screen.contracts().rowCount(), 2); // unsettled only
        s.screen.contracts().first();
        s.screen.findChild<QRadioButton *>("check2_1")->click();
        s.screen.DBGrid1Click();
        QCOMPARE(s.date("d1")->date(), QDate(2004, 3, 1));
        QCOMPARE(s.date("d2")->date(), QDate(2004, 3, 31));
        QVERIFY(!s.date("d2")->isEnabled());

        QStringList seen;
        f.ui.windows["czbcx"] = [&](QDialog *d) {
            auto *w = static_cast<Tczbcx *>(d);
            seen << d->findChild<QLabel *>("Panel1")->text() << d->findChild<QLineEdit *>("Edit1")->text()
                 << d->findChild<QLineEdit *>("Edit3")->text() << QString::number(w->rows().rowCount())
                 << QString::number(totalRent(*f.store, w->result()));
            w->rows().moveTo(1);
            seen << d->findChild<QLineEdit *>("explanation")->text();
            auto *materials = d->findChild<QComboBox *>("com1");
            w->com1Click(materials->findText("扣件"));
            seen << QString::number(w->rows().rowCount());
            d->findChild<QPushButton *>("btn1_add")->click();
            seen << QString::number(w->rows().rowCount());
            // Becoming active again (after the preview) computes all materials again.
            w->com1Click(materials->findText("扣件"));
            w->activate();
            seen << QString::number(w->rows().rowCount());
            return 0;
        };
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"), QStringList());
        QCOMPARE(seen, (QStringList{"现在显示的是\"甲公司\"合同号是\"H1\"的数据", "100", "12.5", "5", "335.2",
                                    "租金 = 原结余量 150 × 单价 0.1000 × 天数 10 = 150.00（2004-03-01至2004-03-11）",
                                    "2", "5", "5"}));

        // A doubled price for Abc doubles its rent.
        auto *prices = s.screen.findChild<QTableWidget *>("DBGrid2");
        prices->item(0, 1)->setText("0.2");
        QCOMPARE(f.store->scalar("select dj from sp1 where namea='Abc'").toDouble(), 0.2);
        double rent = 0;
        f.ui.windows["czbcx"] = [&](QDialog *d) {
            rent = totalRent(*f.store, static_cast<Tczbcx *>(d)->result());
            return 0;
        };
        s.click("btn1_add");
        QCOMPARE(rent, 665.2);
    }

    // Back from a statement the chooser keeps what the clerk chose: the list its search found, the
    // contract and the period, so "确定(&Y)" again shows the same statement.
    void chooserKeepsItsChoiceAfterTheStatement()
    {
        Fixture f;
        fill(f);
        f.now = QDateTime(QDate(2004, 4, 15), QTime(9, 0));
        Open<Tczbcx1> s(f);
        s.field("Edit1")->setText("H1");
        s.screen.contracts().first();
        s.screen.findChild<QRadioButton *>("check2_2")->click();
        s.date("d1")->setDate(QDate(2004, 3, 5));
        s.date("d2")->setDate(QDate(2004, 3, 20));
        QStringList seen;
        f.ui.windows["czbcx"] = [&](QDialog *d) {
            seen << d->findChild<QLabel *>("Panel1")->text() + " " +
                        QString::number(static_cast<Tczbcx *>(d)->rows().rowCount());
            return 0;
        };
        s.click("btn1_add");
        s.screen.activate(); // active again once the statement has closed
        QCOMPARE(s.field("Edit1")->text(), QString("H1"));
        QCOMPARE(s.screen.contracts().rowCount(), 1);
        QCOMPARE(s.screen.contracts().text("numa"), QString("H1"));
        QCOMPARE(s.screen.dateMode(), 2);
        QCOMPARE(s.date("d1")->date(), QDate(2004, 3, 5));
        QCOMPARE(s.date("d2")->date(), QDate(2004, 3, 20));
        QVERIFY(s.date("d1")->isEnabled());
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"), QStringList());
        QCOMPARE(seen.size(), 2);
        QVERIFY(seen[0].contains("H1"));
        QCOMPARE(seen[1], seen[0]);
    }

    // In date mode 2 the window shows the period statement: brought-forward rows white, returns
    // pale green, everything else aqua.
    void periodStatementColours()
    {
        Fixture f;
        fill(f);
        Open<Tczbcx1> s(f);
        s.screen.contracts().first();
        s.screen.findChild<QRadioButton *>("check2_2")->click();
        s.date("d1")->setDate(QDate(2004, 3, 5));
        s.date("d2")->setDate(QDate(2004, 3, 31));
        QStringList colours;
        f.ui.windows["czbcx"] = [&](QDialog *d) {
            auto *w = static_cast<Tczbcx *>(d);
            const QAbstractItemModel *m = d->findChild<QTableView *>("DBGrid1")->model();
            for (int r = 0; r < m->rowCount(); ++r)
                colours << w->rows().valueAt(r, w->rows().fieldIndex("namea")).toString() + " " +
                               m->index(r, 1).data(Qt::BackgroundRole).value<QColor>().name();
            return 0;
        };
        s.click("btn1_add");
        QCOMPARE(colours, (QStringList{"上期结存 #ffffff", "abc #00ffff", "abc #c0dcc0", "上期结存 #ffffff",
                                       "扣件 #00ffff"}));
    }

    void chooserRefusals()
    {
        Fixture f;
        fill(f);
        f.now = QDateTime(QDate(2004, 4, 15), QTime(9, 0));
        Open<Tczbcx1> s(f);
        auto *prices = s.screen.findChild<QTableWidget *>("DBGrid2");
        prices->item(1, 1)->setText("");
        QCOMPARE(f.ui.texts("message"), QStringList{"材料单价不能为空,请重新输入！"});
        QCOMPARE(f.store->scalar("select dj from sp1 where namea='扣件'").toDouble(), 0.01);

        s.screen.contracts().last(); // K2: no movements
        s.screen.DBGrid1Click();
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").last(), QString("主数据库中没有数据，无法统计！"));

        s.field("Edit1")->setText("没有这个客户");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").last(), QString("没有数据，请重新选择！"));
        QCOMPARE(s.field("Edit1")->text(), QString());

        s.screen.contracts().first();
        s.screen.findChild<QRadioButton *>("check2_2")->click();
        s.date("d1")->setDate(QDate(2004, 3, 31));
        s.date("d2")->setDate(QDate(2004, 3, 1));
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").last(), QString("开始日期不应该大于等于截止日期，请重新输入！"));
    }

    // The contract's print data are stored on leaving each field; a pasted non-number is refused
    // and the stored amount kept; printing settings go to srf at once; an empty statement does not
    // print.
    void statementWindowStoresWhatIsTyped()
    {
        Fixture f;
        fill(f);
        f.store->exec("update sp2 set a2=5 where numa='H1'");
        Open<Tczbcx1> s(f);
        s.screen.contracts().first();
        s.screen.findChild<QRadioButton *>("check2_1")->click();
        f.ui.windows["czbcx"] = [&](QDialog *d) {
            auto *w = static_cast<Tczbcx *>(d);
            auto *amount = d->findChild<QLineEdit *>("Edit6");
            amount->setText("12元");
            w->Edit6Exit();
            amount->setText("");
            w->Edit6Exit();
            const double cleared = f.store->scalar("select a2 from sp2 where numa='H1'").toDouble();
            amount->setText("-12.5");
            w->Edit6Exit();
            d->findChild<QLineEdit *>("Edit5")->setText(" 运费 ");
            w->Edit5Exit();
            d->findChild<QLineEdit *>("Edit8")->setText("备注一");
            w->Edit8Exit();
            d->findChild<QSpinBox *>("UpDown5")->setValue(33);
            d->findChild<QCheckBox *>("CheckBox1")->click(); // b5 1 → 0
            // A material without movements leaves nothing to print.
            w->com1Click(d->findChild<QComboBox *>("com1")->findText("模板"));
            w->btn1_delClick();
            return cleared == 0 ? 0 : 1;
        };
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"),
                 (QStringList{"其它收费金额必须是数字,请重新输入！", "没有数据,无法打印！"}));
        QCOMPARE(joinedRow(*f.store, "select a1,a2,bz from sp2 where numa='H1'", "|"),
                 QString("运费|-12.5|备注一"));
        QCOMPARE(joinedRow(*f.store, "select b8,b5,b3 from srf", "|"), QString("33.0|0.0|43.0"));
    }

    // The print button prints what the grid shows; the preview's pages carry its figures.
    void printButtonPrintsTheStatement()
    {
        Fixture f;
        fill(f);
        f.store->exec("update srf set b6=2");
        Open<Tczbcx1> s(f);
        s.screen.contracts().first();
        s.screen.findChild<QRadioButton *>("check2_1")->click();
        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        f.ui.windows["czbcx"] = [&](QDialog *d) {
            d->findChild<QPushButton *>("btn1_del")->click();
            return 0;
        };
        s.click("btn1_add");
        const QStringList texts = previewWindow(*f.context).preparedReport().pages.first().strings();
        QVERIFY(texts.contains("335.20"));
        QVERIFY(texts.contains("247.70"));
        QVERIFY(texts.contains("客户名称:甲公司"));
        QVERIFY(texts.contains(" 合同号:H1"));
    }

    void commandLine()
    {
        Fixture f;
        fill(f);
        f.store->exec("update srf set b6=1");
        QString output, errors;
        QTextStream out(&output), err(&errors);
        const QString pdf = f.dir.filePath("H1.pdf");
        const QString folder = f.dir.path();
        const QDate today(2004, 4, 1);
        QCOMPARE(statementCommand({"tolva", "--statement", "H1", "--pdf", pdf}, folder, today, out, err), 0);
        QVERIFY2(output.contains("H1.pdf"), qPrintable(output + errors));
        QProcess text;
        text.start("pdftotext", {"-layout", pdf, "-"});
        QVERIFY2(text.waitForFinished(30000), "pdftotext (poppler-utils) is needed");
        const QString pdfText = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(pdfText.contains("335.20") && pdfText.contains("贰佰肆拾柒元柒角整"), qPrintable(pdfText));

        // A period of its own.
        QCOMPARE(statementCommand({"tolva", "--statement", "H1", "--pdf", pdf, "--from", "2004-03-11", "--to",
                                   "2004-03-31"},
                                  folder, today, out, err),
                 0);

        // A mistyped option is refused, not ignored for a statement of other dates.
        errors.clear();
        QCOMPARE(statementCommand({"tolva", "--statement", "H1", "--pdf", pdf, "--form", "2004-03-11"}, folder, today,
                                  out, err),
                 1);
        QVERIFY2(errors.startsWith("不认识的参数 --form。"), qPrintable(errors));
        errors.clear();
        QCOMPARE(statementCommand({"tolva", "--statement", "X9", "--pdf", pdf}, folder, today, out, err), 1);
        QCOMPARE(errors.trimmed(), QString("没有合同号 X9"));
        errors.clear();
        QCOMPARE(statementCommand({"tolva", "--statement", "K2", "--pdf", pdf}, folder, today, out, err), 1);
        QCOMPARE(errors.trimmed(), QString("主数据库中没有数据，无法统计！"));

        output.clear();
        const QString dir = f.dir.filePath("month");
        QCOMPARE(statementCommand({"tolva", "--statement-all", "--pdf-folder", dir}, folder, today, out, err), 0);
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{"H1_甲公司.pdf"});
        QVERIFY2(output.contains("跳过 合同号 K2"), qPrintable(output));
    }
};

QTEST_MAIN(TestStatement)
#include "tst_statement.moc"
