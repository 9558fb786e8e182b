#include "entry/chooser.h"
#include "masterdata/contracts.h"
#include "settlement/chooserscreen.h"
#include "summaries/stockscreens.h"
#include "fixture.h"
#include "widgets/datagrid.h"

#include <QLineEdit>
#include <QtTest>

#include <functional>

using namespace tolva;

namespace {

using Make = std::function<std::unique_ptr<QDialog>(Context &)>;

template <class S> Make make()
{
    return [](Context &c) { return std::make_unique<S>(c); };
}

struct Box {
    const char *screen;
    Make open;
    const char *grid;
};

// Every contract search box of the program, with the grid that lists what it found.
const QList<Box> &boxes()
{
    static const QList<Box> list{
        {"Tsp2", make<Tsp2>(), "DBGrid1"},     {"Tczblr1", make<Tczblr1>(), "DBGrid1"},
        {"Tczbcx1", make<Tczbcx1>(), "DBGrid1"}, {"Tkccx1", make<Tkccx1>(), "DBGrid2"},
        {"Tczblrnowcx", make<Tczblrnowcx>(), "DBGrid2"},
    };
    return list;
}

} // namespace

// Each search box finds the typed text anywhere in the customer name or the number, every
// character as typed: "%", "_" and "\" are not wildcards and a quote is just a character.
class TestSearchBoxes : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void findsAsTyped_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("found");
        const QList<std::pair<QString, QStringList>> cases{
            {"%", {"X%1"}},          {"_", {"U_1"}},   {"\\", {"B\\1"}},     {"'", {"Q'1"}},
            {"引号", {"Q'1"}},        {" 1 ", {"X%1", "U_1", "B\\1", "Q'1", "A1"}},
            {"X%", {"X%1"}},         {"%1", {"X%1"}}, {"无此客户", {}},
        };
        for (int b = 0; b < boxes().size(); ++b)
            for (const auto &c : cases)
                QTest::addRow("%s %s", boxes()[b].screen, qPrintable(c.first)) << b << c.first << c.second;
    }
    void findsAsTyped()
    {
        QFETCH(int, box);
        QFETCH(QString, typed);
        QFETCH(QStringList, found);
        Fixture f;
        f.logIn("管理员");
        f.store->exec("insert into sp2(khm,numa,jz,begina) values('百分公司','X%1','否','2004-01-01'),"
                      "('下划公司','U_1','否','2004-01-01'),('斜杠公司','B\\1','否','2004-01-01'),"
                      "('引号''公司','Q''1','否','2004-01-01'),('甲公司','A1','否','2004-01-01')");
        std::unique_ptr<QDialog> screen = boxes()[box].open(*f.context);
        screen->show();
        auto *field = screen->findChild<QLineEdit *>("Edit1");
        QVERIFY(field);
        field->setText(typed);
        auto *grid = screen->findChild<DataGrid *>(boxes()[box].grid);
        QVERIFY(grid);
        QStringList got;
        const Dataset &rows = *grid->gridModel()->dataset();
        for (int r = 0; r < rows.rowCount(); ++r)
            got << rows.valueAt(r, rows.fieldIndex("numa")).toString();
        got.sort();
        found.sort();
        QCOMPARE(got, found);
        QCOMPARE(f.ui.texts("error"), QStringList());
    }
};

QTEST_MAIN(TestSearchBoxes)
#include "tst_searchboxes.moc"
