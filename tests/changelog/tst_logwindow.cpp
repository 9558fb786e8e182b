#include "changelog/changes.h"
#include "changelog/logwindow.h"
#include "screens.h"
#include "printing/preview.h"
#include "printing/printaction.h"
#include "widgets/datagrid.h"
#include "widgets/datefield.h"

#include <QComboBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace tolva;

namespace {

// Log rows as the database writes them: two users over two days and three tables.
void logRows(Store &store)
{
    const char *rows[][7] = {
        {"2004-01-31 17:00:00", "录入员", "czbnow", "增加", "H1", nullptr,
         R"({"numa":"H1","datea":"2004-01-31","a1":100,"a2":600,"khm":null})"},
        {"2004-02-01 08:00:00", "录入员", "czbnow", "修改", "H1",
         R"({"numa":"H1","datea":"2004-01-31","a1":100,"a2":600,"khm":null})",
         R"({"numa":"H1","datea":"2004-01-31","a1":120,"a2":720,"khm":null})"},
        {"2004-02-01 08:01:00", "管理员", "sp3", "删除", "H2", R"({"numa":"H2","lx":"现金","a1":500})", nullptr},
        {"2004-02-01 08:02:00", "管理员", "srf", "修改", nullptr, R"({"b1":0,"zzrq":null})",
         R"({"b1":0,"zzrq":"2004-01-31"})"},
    };
    for (const auto &r : rows) {
        Params p;
        const char *names[] = {"sj", "yh", "bm", "cz", "numa", "yjl", "xjl"};
        for (int i = 0; i < 7; ++i)
            p.insert(names[i], r[i] ? QVariant(QString::fromUtf8(r[i])) : QVariant());
        store.exec("insert into rzb(sj,yh,bm,cz,numa,yjl,xjl) values(:sj,:yh,:bm,:cz,:numa,:yjl,:xjl)", p);
    }
}

QStringList shown(Dataset &changes)
{
    QStringList out;
    for (const auto &row : changes.store().select("select sj, yh, bm, cz, numa, nr from rzbtem order by rowid").rows) {
        QStringList cells;
        for (const QVariant &v : row)
            cells << v.toString();
        out << cells.join('|');
    }
    return out;
}

} // namespace

class TestLogWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filters_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("contract");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("found");
        const QString added = "2004-01-31 17:00:00|录入员|租赁数据|增加|H1|numa：H1；datea：2004-01-31；a1：100；a2：600";
        const QString changed = "2004-02-01 08:00:00|录入员|租赁数据|修改|H1|a1：100 → 120；a2：600 → 720";
        const QString deleted = "2004-02-01 08:01:00|管理员|押金|删除|H2|numa：H2；lx：现金；a1：500";
        const QString closed = "2004-02-01 08:02:00|管理员|计算方法、打印格式及结账日期|修改||zzrq：（空） → 2004-01-31";
        const QDate jan31(2004, 1, 31), feb1(2004, 2, 1);
        QTest::newRow("everything") << jan31 << feb1 << "全部" << "" << "" << QStringList{added, changed, deleted, closed};
        QTest::newRow("one day") << feb1 << feb1 << "全部" << "" << "" << QStringList{changed, deleted, closed};
        QTest::newRow("the day before") << jan31 << jan31 << "全部" << "" << "" << QStringList{added};
        QTest::newRow("a user") << jan31 << feb1 << "管理员" << "" << "" << QStringList{deleted, closed};
        QTest::newRow("a contract") << jan31 << feb1 << "全部" << "H1" << "" << QStringList{added, changed};
        QTest::newRow("a table") << jan31 << feb1 << "全部" << "" << "押金" << QStringList{deleted};
        QTest::newRow("nothing") << feb1 << feb1 << "录入员" << "H2" << "" << QStringList();
    }

    void filters()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, user);
        QFETCH(QString, contract);
        QFETCH(QString, table);
        QFETCH(QStringList, found);
        Fixture f;
        logRows(*f.store);
        f.logIn("管理员");
        Trzbcx w(*f.context);
        w.FormActivate();
        w.findChild<DateField *>("d1")->setDate(from);
        w.findChild<DateField *>("d2")->setDate(to);
        auto *users = w.findChild<QComboBox *>("ComboBox1");
        QCOMPARE(users->count(), 3); // 全部 and the two users the log names
        users->setCurrentText(user);
        w.findChild<QLineEdit *>("Edit1")->setText(contract);
        auto *tables = w.findChild<QComboBox *>("ComboBox2");
        tables->setCurrentIndex(table.isEmpty() ? 0 : tables->findText(table));
        w.findChild<QPushButton *>("btn1_add")->click();
        QCOMPARE(f.ui.texts("error"), QStringList());
        QCOMPARE(shown(w.changes()), found);
        QCOMPARE(w.findChild<DataGrid *>("DBGrid1")->gridModel()->rowCount(), found.size());
        QCOMPARE(w.findChild<QPushButton *>("BitBtn1")->isEnabled(), !found.isEmpty());
    }

    // A number logged reads as fifteen significant digits write it, whole ones (written the short
    // way) among them.
    void numbersWrittenOut()
    {
        for (const char *n : {"58", "-3.0", "0", "-0.0", "0.5", "0.1", "-2.25", "1e14", "999999999999999", "1e15", "-1e15",
                              "1e20", "0.333333333333333333"}) {
            const QByteArray json = QByteArray("{\"a1\":") + n + "}";
            const double d = QJsonDocument::fromJson(json).object().value("a1").toDouble();
            QCOMPARE(changelog::changeText("增加", QByteArray(), json), "a1：" + QString::number(d, 'g', 15));
        }
    }

    // Read a few rows at a time, the log gives what it gives in one pass: the users in order, the
    // changes oldest first, also a change logged after the clock was put back.
    void readInPartsAsInOnePass()
    {
        Fixture f;
        logRows(*f.store);
        f.store->exec("insert into rzb(sj,yh,bm,cz,numa,yjl,xjl) values('2004-01-31 16:00:00','会计','sp4','删除','H3',"
                      "'{\"numa\":\"H3\",\"a1\":1}',null),('2004-02-01 09:00:00','会计','sp4','删除','H3',null,null)");
        const changelog::LogFilter all{QDate(2004, 1, 1), QDate(2004, 12, 31), {}, {}, {}};
        const auto found = [&](int partRows) {
            const int rows = changelog::findChanges(*f.store, all, {}, partRows);
            const QStringList out = joinedRows(*f.store, "select sj,yh,bm,cz,numa,nr from rzbtem order by rowid", "|");
            return rows == out.size() ? out : QStringList{"counted " + QString::number(rows)};
        };
        const QStringList whole = found(65536);
        QCOMPARE(whole.size(), 6);
        QVERIFY2(whole.first().startsWith("2004-01-31 16:00:00|会计"), qPrintable(whole.first()));
        QCOMPARE(found(2), whole);
        QCOMPARE(found(1), whole);
        QCOMPARE(changelog::loggedUsers(*f.store, {}, 2), column(*f.store, "select distinct yh from rzb order by yh"));
    }

    // A change made through the store is found, and the rows print with the filter as the title.
    void aChangeIsFoundAndPrinted()
    {
        Fixture f;
        f.logIn("录入员");
        f.store->exec("insert into sp4(khm,numa,datea,lx,a1) values('甲公司','H1','2004-01-20','现金',300)");
        f.store->exec("update sp4 set a1=350");
        Trzbcx w(*f.context);
        w.FormActivate();
        w.findChild<DateField *>("d1")->setDate(QDate(2000, 1, 1));
        w.findChild<DateField *>("d2")->setDate(QDate(2999, 12, 31)); // a server writes its own time
        w.findChild<QLineEdit *>("Edit1")->setText("H1");
        w.findChild<QPushButton *>("btn1_add")->click();
        const QStringList rows = shown(w.changes());
        QCOMPARE(rows.size(), 2);
        QVERIFY2(rows[1].endsWith("|租金|修改|H1|a1：300 → 350"), qPrintable(rows[1]));
        QVERIFY2(rows[1].contains("|录入员|") || f.store->isServer(), qPrintable(rows[1]));

        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        w.findChild<QPushButton *>("BitBtn1")->click();
        QCOMPARE(f.ui.texts("error"), QStringList());
        const report::PreparedReport &r = previewWindow(*f.context).preparedReport();
        QHash<QString, QStringList> memos;
        for (const auto &page : r.pages)
            for (const report::PlacedText &t : page.texts)
                memos[t.memo] << t.lines.join("");
        QVERIFY2(memos["Memo2"].first().contains("合同号：H1"), qPrintable(memos["Memo2"].first()));
        QCOMPARE(memos["Memo13"], (QStringList{"增加", "修改"}));
        QCOMPARE(memos["Memo15"].last(), QString("a1：300 → 350"));
        // The grid is attached again.
        QCOMPARE(w.findChild<DataGrid *>("DBGrid1")->gridModel()->rowCount(), 2);
    }
};

QTEST_MAIN(TestLogWindow)
#include "tst_logwindow.moc"
