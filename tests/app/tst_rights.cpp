#include "app/mainmenu.h"
#include "app/screens.h"
#include "base/rights.h"
#include "entry/movementrules.h"
#include "screens.h"
#include "settings/settingsrules.h"
#include "settlement/statementrules.h"
#include "summaries/stock.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMenu>
#include <QTableWidget>
#include <QtTest>

#include <functional>

using namespace tolva;

namespace {

using Dump = QMap<QString, QStringList>;

// The working tables are refilled by every computation, whoever looks at a statement or summary.
const QStringList WorkingTables = Store::workingTables();
// The tables of the business's data; a change of data may run on into any of them (a renamed
// contract or specification is carried into its movements).
const QStringList DataTables = {"sp1", "sp2", "sp3", "sp4", "sp5", "czbnow", "czb1", "czb2"};

// Every other table: "t" holds its row count, "t.column" the column's values in stored order.
Dump dump(Store &store)
{
    Dump d;
    for (const QString &table : store.tables()) {
        if (WorkingTables.contains(table))
            continue;
        const Rows rows = store.select("select * from " + table + " order by rowid");
        d[table] = QStringList{QString::number(rows.rows.size())};
        for (int c = 0; c < rows.columns.size(); ++c) {
            QStringList &values = d[table + "." + rows.columns[c].toLower()];
            for (const auto &row : rows.rows)
                values << (row[c].isNull() ? QString("<null>") : row[c].toString());
        }
    }
    return d;
}

QStringList changes(const Dump &before, const Dump &after)
{
    QStringList out;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (before.value(it.key()) != it.value())
            out << it.key();
    return out;
}

// A pattern is a table ("sp2": any of its columns) or one column ("srf.b7").
bool matches(const QString &change, const QStringList &patterns)
{
    for (const QString &p : patterns)
        if (change == p || change.startsWith(p + "."))
            return true;
    return false;
}

// Two materials with a specification each, an open contract H1 with a movement, deposit, rent,
// repair fee and compensation (its print data still empty), a settled contract H2; the stock
// figures as the stock window last left them; an input method stored that is not installed.
// Users: 管理员 (管理), 录入员 (录入), 查询员 (查询), all with the password 1.
void ledger(Fixture &f)
{
    Store &s = *f.store;
    s.exec("insert into sp1(namea,dj,kc,numsb) values('钢管',0.01,1000,2),('扣件',0.02,500,0)");
    s.exec("insert into sp5(namea,gg,dw,dw1,bl) values('钢管','6米','根','米',6),('扣件','直角','个','个',1)");
    s.exec("insert into sp2(khm,numa,jz,begina,enda) values('甲公司','H1','否','2004-01-01','2004-03-31'),"
           "('乙公司','H2','是','2003-01-01','2003-12-31')");
    s.exec("insert into czbnow(khm,numa,datea,namea,gg,dw,dw1,bl,a1,b1,a2,a8) "
           "values('甲公司','H1','2004-01-05','钢管','6米','根','米',6,100,0,600,0)");
    s.exec("insert into sp3(khm,numa,datea,lx,a1) values('甲公司','H1','2004-01-05','现金',1000)");
    s.exec("insert into sp4(khm,numa,datea,lx,a1) values('甲公司','H1','2004-01-20','银行',200)");
    s.exec("insert into czb1(khm,numa,namea,a1,a2,a3,a4) values('甲公司','H1','钢管','弯曲',2,5,10)");
    s.exec("insert into czb2(khm,numa,namea,a1,a2,a3,a4) values('甲公司','H1','扣件','丢失',3,4,12)");
    s.exec("insert into sbpass(namea,passa,popedoma) values('查询员','1','查询')");
    f.ledger.setLogin("查询员", "1", "查询");
    s.exec("update srf set srf='五笔'");
    stock::compute(s);
    f.context->reopenSettings();
}

QString userOf(const QString &right)
{
    return right == "管理" ? "管理员" : right == "录入" ? "录入员" : "查询员";
}

template <class T = QWidget> T *child(QDialog *d, const char *name)
{
    T *w = d->findChild<T *>(name);
    if (!w)
        QTest::qFail(qPrintable(QString("no control %1 in %2").arg(name, d->objectName())), __FILE__, __LINE__);
    return w;
}

// Types into a field as a person does: select all, erase, type (a read-only field takes none of it).
void type(QDialog *d, const char *name, const QString &text)
{
    auto *e = child<QLineEdit>(d, name);
    if (!e)
        return;
    e->setFocus();
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Backspace);
    typeText(e, text);
}

// Leaves a field with Enter, which stores what the statement window's fields hold.
void enter(QDialog *d, const char *name)
{
    if (auto *e = child<QLineEdit>(d, name))
        QTest::keyClick(e, Qt::Key_Return);
}

// Clicks a button, also a hidden one: a change must be refused whichever way it comes.
void click(QDialog *d, const char *name)
{
    if (auto *b = child<QAbstractButton>(d, name))
        b->click();
}

// The up arrow key on a spin box, as a person changes it.
void up(QDialog *d, const char *name)
{
    if (auto *spin = child<QAbstractSpinBox>(d, name)) {
        spin->setFocus();
        QTest::keyClick(spin, Qt::Key_Up);
    }
}

using Typing = QList<QPair<const char *, QString>>;

// The record-maintenance steps: edit the current row, add one, delete the current one.
void maintain(QDialog *d, const Typing &edit, const Typing &add)
{
    click(d, "btn1_edit");
    for (const auto &[field, text] : edit)
        type(d, field, text);
    click(d, "btn1_edit");
    click(d, "btn1_add");
    for (const auto &[field, text] : add)
        type(d, field, text);
    click(d, "btn1_add");
    click(d, "btn1_del");
}

// Controls that would write are, without the right, hidden (buttons) or read-only or disabled
// (fields, grids, radio buttons, check boxes, spin boxes, lists); with it, shown and enabled.
void checkLocked(QDialog *d, const QStringList &names, bool allowed)
{
    for (const QString &name : names) {
        QWidget *w = child(d, qPrintable(name));
        if (!w)
            return;
        const QByteArray name8 = (d->objectName() + "." + name).toUtf8();
        const char *what = name8.constData();
        if (auto *button = qobject_cast<QPushButton *>(w)) {
            QVERIFY2(button->isHidden() == !allowed, what);
        } else if (auto *line = qobject_cast<QLineEdit *>(w)) {
            if (!allowed)
                QVERIFY2(line->isReadOnly() || !line->isEnabled(), what);
        } else if (auto *table = qobject_cast<QTableWidget *>(w)) {
            bool editable = false;
            for (int r = 0; r < table->rowCount(); ++r)
                for (int c = 0; c < table->columnCount(); ++c)
                    editable |= table->item(r, c) && (table->item(r, c)->flags() & Qt::ItemIsEditable);
            QVERIFY2((editable && table->isEnabled()) == allowed, what);
        } else {
            QVERIFY2(w->isEnabled() == allowed, what);
        }
    }
}

// Alt+E, Alt+A, Alt+D and Alt+C in the focused control: the shortcut of a hidden or disabled
// button does nothing, so no field takes the letter (a search box would list other rows); a shown
// one does what its button does, and "取消(&C)" ends what "编辑(&E)" or "添加(&A)" began.
void pressMnemonics(QDialog *d)
{
    const auto texts = [d] {
        QStringList out;
        for (QLineEdit *e : d->findChildren<QLineEdit *>())
            out << e->objectName() + "=" + e->text();
        return out;
    };
    const QStringList before = texts();
    QWidget *const focused = QApplication::focusWidget();
    for (const Qt::Key key : {Qt::Key_E, Qt::Key_A, Qt::Key_D, Qt::Key_C}) {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus && focus->window() == d ? focus : d, key, Qt::AltModifier);
        // A shortcut shows its button pressed and clicks it a moment later.
        const auto buttons = d->findChildren<QPushButton *>();
        QVERIFY(QTest::qWaitFor([&] {
            return std::none_of(buttons.begin(), buttons.end(), [](QPushButton *b) { return b->isDown(); });
        }));
    }
    if (focused && focused->window() == d)
        focused->setFocus(); // a field with the focus shows its plain value
    QCOMPARE(texts(), before);
}

// Who reaches a window: everybody, only "管理", or everybody else.
enum class For { All, Administration, Others };

struct Window {
    QString name;                // the window's objectName
    QStringList data = {}, settings = {}; // its controls that change data, and settings
    std::function<void(QDialog *)> steps = [](QDialog *) {};
    For reachedBy = For::All;
};

// A menu item, the windows it leads to, and what their steps change when the right allows it:
// data (with "录入"; the steps must change these, and may run on into any data table), settings
// (with "录入" or "管理"), users (with "管理") and what every user may change (his own password,
// the name remembered for the next login).
struct Row {
    const char *item;
    QList<Window> windows;
    QStringList data = {}, settings = {}, users = {}, anyone = {};
};

const QStringList Buttons = {"btn1_edit", "btn1_add", "btn1_del"};

const QList<Row> &rows()
{
    static const QList<Row> list = {
        {"N11",
         {{"czblr1", {}, {}, [](QDialog *d) { click(d, "btn1_add"); }},
          {"czblrnow", Buttons + QStringList{"DBEdit1", "DBEdit2", "DBEdit3"}, {"check2_0", "check2_1"},
           [](QDialog *d) {
               maintain(d, {{"DBEdit1", "120"}}, {{"DBEdit1", "10"}});
               click(d, "check2_1");
           }}},
         {"czbnow"},
         {"srf.b7"}},
        {"N23",
         {{"czb1lr1", {}, {}, [](QDialog *d) { click(d, "btn1_add"); }},
          {"czb1lr", Buttons + QStringList{"DBEdit1", "DBEdit2", "DBEdit3"}, {},
           [](QDialog *d) {
               maintain(d, {{"DBEdit2", "3"}}, {{"DBEdit1", "损坏"}, {"DBEdit2", "1"}, {"DBEdit3", "5"}});
           }}},
         {"czb1"}},
        {"N32",
         {{"czb2lr1", {}, {}, [](QDialog *d) { click(d, "btn1_add"); }},
          {"czb2lr", Buttons + QStringList{"DBEdit1", "DBEdit2", "DBEdit3"}, {},
           [](QDialog *d) {
               maintain(d, {{"DBEdit2", "4"}}, {{"DBEdit1", "丢失"}, {"DBEdit2", "1"}, {"DBEdit3", "5"}});
           }}},
         {"czb2"}},
        {"N21",
         {{"sp2", Buttons + QStringList{"DBEdit1", "DBEdit2"}, {},
           [](QDialog *d) { maintain(d, {{"DBEdit1", "乙公司改"}}, {{"DBEdit1", "丙公司"}, {"DBEdit2", "H3"}}); }}},
         {"sp2"}},
        {"N7",
         {{"sp1", Buttons + QStringList{"Edit1", "DBEdit1", "DBEdit2"}, {},
           [](QDialog *d) { maintain(d, {{"DBEdit1", "0.05"}}, {{"Edit1", "模板"}, {"DBEdit1", "0.03"}}); }}},
         {"sp1"}},
        {"N61",
         {{"sp3", Buttons + QStringList{"DBEdit3"}, {},
           [](QDialog *d) { maintain(d, {{"DBEdit3", "900"}}, {{"DBEdit3", "50"}}); }}},
         {"sp3"}},
        {"N71",
         {{"sp4", Buttons + QStringList{"DBEdit3"}, {},
           [](QDialog *d) { maintain(d, {{"DBEdit3", "300"}}, {{"DBEdit3", "50"}}); }}},
         {"sp4"}},
        {"N81",
         {{"sp5", Buttons + QStringList{"DBEdit1", "DBEdit2", "DBEdit3", "DBEdit4"}, {},
           [](QDialog *d) {
               maintain(d, {{"DBEdit3", "尺"}}, {{"DBEdit1", "3米"}, {"DBEdit2", "根"}, {"DBEdit3", "米"}, {"DBEdit4", "3"}});
           }}},
         {"sp5"}},
        {"N14",
         {{"czbcx1", {"DBGrid2"}, {},
           [](QDialog *d) {
               // The price grid: a cell edited as a person does, and a text put straight into it.
               auto *grid = child<QTableWidget>(d, "DBGrid2");
               if (!grid)
                   return;
               QTableWidgetItem *price = grid->item(0, 1);
               grid->setFocus();
               grid->setCurrentItem(price);
               grid->editItem(price);
               if (auto *editor = grid->findChild<QLineEdit *>("djEditor")) {
                   editor->selectAll();
                   QTest::keyClick(editor, Qt::Key_Backspace);
                   typeText(editor, "0.02");
                   QTest::keyClick(editor, Qt::Key_Return);
               }
               price->setText("0.03");
               child(d, "Edit1")->setFocus(); // leaving the grid checks the prices
               click(d, "btn1_add");
           }},
          {"czbcx", {"Edit5", "Edit6", "Edit8"}, {"UpDown5", "CheckBox1"},
           [](QDialog *d) {
               for (const auto &[field, text] : Typing{{"Edit5", "运费"}, {"Edit6", "12.5"}, {"Edit8", "月底结清"}}) {
                   type(d, field, text);
                   enter(d, field);
               }
               up(d, "UpDown5");
               click(d, "CheckBox1");
               click(d, "btn1_del"); // printing fills in the other charge it prints
           }}},
         {"sp1.dj", "sp2.a1", "sp2.a2", "sp2.bz"},
         {"srf.b8", "srf.b5", "srf.b3"}},
        {"N24", {{"czbhz", {}, {"UpDown5"}, [](QDialog *d) {
                      up(d, "UpDown5");
                      click(d, "btn1_add");
                  }}},
         {},
         {"srf.b9"}},
        {"N33", {{"czbhz1", {}, {"UpDown5"}, [](QDialog *d) {
                      up(d, "UpDown5");
                      click(d, "btn1_add");
                  }}},
         {},
         {"srf.b10"}},
        {"N42", {{"kccx1", {}, {}, [](QDialog *d) { click(d, "btn1_add"); }}}},
        {"N41", {{"kccx"}}},
        {"N63", {{"czblrnowcx", {}, {"UpDown5"}, [](QDialog *d) { up(d, "UpDown5"); }}}, {}, {"srf.b8"}},
        {"N01",
         {{"sbpassb", {}, {}, [](QDialog *d) {
               if (auto *names = child<QComboBox>(d, "combobox1"))
                   names->setCurrentIndex(2);
               click(d, "BitBtn2");
           }}},
         {}, {}, {},
         {"srf.a4"}},
        {"N17",
         {{"sbpassjc", {}, {}, [](QDialog *d) {
               // The password check with the user's own name and password.
               auto *names = child<QComboBox>(d, "combobox1");
               if (names)
                   names->setCurrentIndex(names->findText(d->property("user").toString()));
               type(d, "edit1", "1");
               click(d, "btn_login");
           }},
          {"sbpasschange", {}, {}, [](QDialog *d) {
               type(d, "edt_pass", "9");
               type(d, "edt_pass2", "9");
               click(d, "btn_ok");
           },
           For::Others},
          {"sbpassset", {}, {}, [](QDialog *d) {
               type(d, "Edit2", "9"); // the administrator's own password, in place
               click(d, "btn_add");
               type(d, "Edit1", "新用户");
               click(d, "btn_add");
               click(d, "btn_exit");
           },
           For::Administration}},
         {}, {}, {"sbpass"},
         {"sbpass.passa"}},
        {"N22", {{"srf", {}, {"ComboBox1", "btn_yes"}, [](QDialog *d) { click(d, "btn_yes"); }}}, {}, {"srf.srf"}},
        {"N31",
         {{"dwm", {},
           {"DBEdit_A1", "DBEdit_A6", "DBEdit_A2", "DBEdit_A3", "DBEdit_A4", "DBEdit_A5", "DBEdit_A8", "DBEdit_A9",
            "DBEdit_Sp2", "DBEdit_Sp3", "DBEdit_Sp4", "DBEdit_Sp1"},
           [](QDialog *d) {
               type(d, "DBEdit_A1", "东方租赁站");
               click(d, "BitBtn1");
           }}},
         {},
         {"dwm.a1"}},
        {"N43",
         {{"Tczbp_setup", {}, {"check1_0", "check1_1", "check1_2", "check2_0", "check2_1", "check2_2"},
           [](QDialog *d) {
               click(d, "check1_2");
               click(d, "check2_1");
               click(d, "btn1_exit");
           }}},
         {},
         {"srf.b6", "srf.b1"}},
        {"N62", {{"sbrestor", {}, {}, [](QDialog *) {}, For::Administration}}},
        {"N110", {{"Thelp"}}},
        {"N210", {{"Trevizevar2"}}},
        {"A1", {{"Tsbabout"}}},
        {"N35", {{"Trevizevar1"}}},
    };
    return list;
}

// A rule that writes, called straight over the ledger as any way into it would call it, with the
// result set it writes into open on `rows`.
struct Rule {
    const char *name;
    bool data; // a change of data; otherwise of a setting
    const char *rows;
    std::function<Outcome(Fixture &, Dataset &, const Rights &)> call;
};

const QList<Rule> &writingRules()
{
    using namespace settlement;
    static const QList<Rule> list = {
        {"price", true, "select * from sp1",
         [](Fixture &, Dataset &rows, const Rights &r) { return setPrice(r, rows, "0.02"); }},
        {"other charge", true, "select * from sp2",
         [](Fixture &, Dataset &rows, const Rights &r) { return setOtherCharge(r, rows, "12.5"); }},
        {"other charge's name", true, "select * from sp2",
         [](Fixture &, Dataset &rows, const Rights &r) { return setOtherName(r, rows, "运费"); }},
        {"remark", true, "select * from sp2",
         [](Fixture &, Dataset &rows, const Rights &r) { return setRemark(r, rows, "备注"); }},
        {"printed row height", false, "select * from srf",
         [](Fixture &f, Dataset &, const Rights &r) { return setRowHeight(r, *f.store, 30); }},
        {"money block", false, "select * from srf",
         [](Fixture &f, Dataset &, const Rights &r) { return setMoneyBlock(r, *f.store, false); }},
        {"method", false, "select * from srf",
         [](Fixture &, Dataset &rows, const Rights &r) { return settings::choose(r, rows, "b1", 2); }},
        {"print format", false, "select * from srf",
         [](Fixture &, Dataset &rows, const Rights &r) { return settings::choose(r, rows, "b6", 1); }},
        {"input method", false, "select * from srf",
         [](Fixture &, Dataset &rows, const Rights &r) {
             return settings::chooseInputMethod(r, rows, InputMethods::none());
         }},
        {"titles", false, "select * from dwm",
         [](Fixture &, Dataset &rows, const Rights &r) {
             rows.edit();
             rows.setValue("a1", "东方租赁站");
             const Outcome outcome = settings::saveTitles(r, rows);
             if (rows.isEditing())
                 QTest::qFail("the typed titles are still pending", __FILE__, __LINE__);
             return outcome;
         }},
        {"date proposal", false, "select * from srf",
         [](Fixture &, Dataset &rows, const Rights &r) { return movements::setDateProposal(r, rows, 1); }},
    };
    return list;
}

} // namespace

// Each right over every screen of the menu: whatever a user does with the controls that write
// (the changing buttons clicked even when hidden, fields typed into, grids edited, options
// clicked, Alt with the buttons' letters), "查询" changes nothing, data change only with "录入",
// the settings that change figures or prints only with "录入" or "管理".
class TestRights : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyScreenHasARow()
    {
        Fixture f;
        Tsbmain menu(*f.context);
        addScreens(menu, *f.context);
        QStringList items;
        for (const Row &r : rows())
            items << r.item;
        for (QAction *action : menu.findChildren<QAction *>())
            if (action->isEnabled() && !action->menu() && !action->objectName().isEmpty() &&
                action->objectName() != "N3")
                QVERIFY2(items.contains(action->objectName()), qPrintable(action->objectName()));
    }

    // The rules refuse too, so that nothing is stored whichever way a change reaches them.
    void rulesRefuseWithoutTheRight_data()
    {
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("right");
        for (int r = 0; r < writingRules().size(); ++r)
            for (const QString right : {"管理", "录入", "查询", ""})
                QTest::addRow("%s %s", writingRules()[r].name, qPrintable(right)) << r << right;
    }

    void rulesRefuseWithoutTheRight()
    {
        QFETCH(int, rule);
        QFETCH(QString, right);
        const Rule &r = writingRules()[rule];
        const Rights rights(right);
        const bool allowed = r.data ? rights.mayEdit() : rights.mayChangeSettings();
        Fixture f;
        ledger(f);
        Dataset rows(*f.store);
        rows.open(r.rows);
        const Dump before = dump(*f.store);
        const Outcome outcome = r.call(f, rows, rights);
        QCOMPARE(outcome.ok(), allowed);
        if (allowed) {
            QVERIFY(changes(before, dump(*f.store)).size() > 0);
            return;
        }
        QCOMPARE(outcome.message(), r.data ? QString("只有录入权限的用户才能修改数据！")
                                           : QString("只有录入或管理权限的用户才能修改设置！"));
        QCOMPARE(changes(before, dump(*f.store)), QStringList());
    }

    void everyWritingControl_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("right");
        for (int r = 0; r < rows().size(); ++r)
            for (const QString right : {"管理", "录入", "查询"})
                QTest::addRow("%s %s", rows()[r].item, qPrintable(right)) << r << right;
    }

    void everyWritingControl()
    {
        QFETCH(int, row);
        QFETCH(QString, right);
        const Row &r = rows()[row];
        const Rights rights(right);
        Fixture f;
        ledger(f);
        f.logIn(userOf(right));
        Tsbmain menu(*f.context);
        addScreens(menu, *f.context);

        QStringList opened;
        for (const Window &w : r.windows)
            f.ui.windows[w.name] = [&, w](QDialog *d) {
                opened << w.name;
                d->setProperty("user", userOf(right));
                // Active itself, not through the window that opened it: shortcuts and focus go there.
                d->activateWindow();
                if (!QTest::qWaitFor([d] { return QApplication::activeWindow() == d; }))
                    QTest::qFail("the window did not become active", __FILE__, __LINE__);
                checkLocked(d, w.data, rights.mayEdit());
                checkLocked(d, w.settings, rights.mayChangeSettings());
                pressMnemonics(d);
                w.steps(d);
                return 0;
            };
        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        f.ui.answers = QList<QVariant>(10, true); // a deletion is confirmed when it is asked for

        const Dump before = dump(*f.store);
        menu.item(r.item)->trigger();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(f.ui.texts("error"), QStringList());
        const QStringList got = changes(before, dump(*f.store));

        // What the right lets the steps change, and what they must then have changed.
        QStringList expected = r.anyone;
        if (rights.mayEdit())
            expected << r.data;
        if (rights.mayChangeSettings())
            expected << r.settings;
        if (rights.mayAdminister())
            expected << r.users;
        const QStringList allowed = expected + (rights.mayEdit() ? DataTables : QStringList());
        QStringList reached;
        for (const Window &w : r.windows)
            if (w.reachedBy == For::All || (w.reachedBy == For::Administration) == rights.mayAdminister())
                reached << w.name;
        QCOMPARE(opened, reached);
        if (reached.isEmpty()) // the menu refused
            QCOMPARE(f.ui.texts("message").size(), 1);
        for (const QString &change : got)
            QVERIFY2(matches(change, allowed), qPrintable("changed without the right: " + change));
        for (const QString &pattern : expected) {
            // A server keeps the passwords as its logins' own, never in the table.
            if (pattern == "sbpass.passa" && f.store->isServer()) {
                QVERIFY2(f.store->checkLogin(userOf(right), "9"), "the password was not changed");
                continue;
            }
            QVERIFY2(std::any_of(got.begin(), got.end(), [&](const QString &c) { return matches(c, {pattern}); }),
                     qPrintable("not changed: " + pattern));
        }
    }
};

QTEST_MAIN(TestRights)
#include "tst_rights.moc"
