#include "screens.h"
#include "widgets/datagrid.h"
#include "widgets/datefield.h"
#include "widgets/dbfields.h"
#include "widgets/interaction.h"
#include "widgets/maintenance.h"
#include "widgets/numerickey.h"
#include "widgets/progressdialog.h"
#include "widgets/screen.h"
#include "widgets/statusmirror.h"
#include "base/error.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QtTest>

using namespace tolva;

namespace {

// A screen of the frame that counts its activations; its button and list are wired with on().
class FrameScreen : public Screen {
public:
    FrameScreen(Context &context, Activation activation) : Screen(context)
    {
        setUpFrame(nullptr, false, Closing::Free, activation);
        auto *layout = new QVBoxLayout(this);
        layout->addWidget(button = new QPushButton("确定(&Y)", this));
        layout->addWidget(list = new QComboBox(this));
        list->addItems({"甲", "乙"});
        on(button, &QPushButton::clicked, &FrameScreen::buttonClick);
        on(list, &QComboBox::activated, [this](int index) {
            chosen = index;
            throw std::runtime_error("kaputt");
        });
    }
    void FormActivate() override { ++activations; }
    void buttonClick() { throw Error("磁盘已满，数据没有保存。"); }

    QPushButton *button;
    QComboBox *list;
    int activations = 0;
    int chosen = -1;
};

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The window that opened a dialog is active again once the dialog ends, so that its keys
    // (Alt+X) reach it, also where no window manager hands the focus back.
    void closedDialogGivesTheFocusBack()
    {
        QDialog opener;
        opener.show();
        opener.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&opener));
        QDialog dialog(&opener);
        QTimer::singleShot(0, &dialog, [&] {
            QVERIFY(QTest::qWaitForWindowActive(&dialog));
            dialog.hide();
            QApplication::setActiveWindow(nullptr); // as a bare X server leaves it
            dialog.reject();
        });
        DesktopInteraction desktop;
        desktop.exec(&dialog);
        QTRY_COMPARE(QApplication::activeWindow(), &opener);
    }

    // The same for the progress dialog of a long piece of work.
    void endedProgressGivesTheFocusBack()
    {
        QDialog opener;
        opener.show();
        opener.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&opener));
        ProgressWindow window;
        window.showAfter = 0;
        bool shown = false;
        runWithProgress(&opener, window, [&](const Progress &progress) {
            progress(0, 2, QStringLiteral("第1个"));
            progress(1, 2, QStringLiteral("第2个"));
            shown = QApplication::activeModalWidget() != nullptr;
            QApplication::setActiveWindow(nullptr); // as a bare X server leaves it
        });
        QVERIFY(shown);
        QTRY_COMPARE(QApplication::activeWindow(), &opener);
    }

    void filterNumericKey_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QChar>("key");
        QTest::addColumn<bool>("kept");
        QTest::newRow("digit into empty") << "" << QChar('5') << true;
        QTest::newRow("digit after digits") << "12" << QChar('3') << true;
        QTest::newRow("point into empty") << "" << QChar('.') << false;
        QTest::newRow("first point") << "12" << QChar('.') << true;
        QTest::newRow("second point") << "1.2" << QChar('.') << false;
        QTest::newRow("minus into empty") << "" << QChar('-') << true;
        QTest::newRow("minus into filled") << "12" << QChar('-') << false;
        QTest::newRow("letter") << "12" << QChar('a') << false;
        QTest::newRow("space") << "" << QChar(' ') << false;
        QTest::newRow("chinese") << "" << QChar(0x4E00) << false;
        QTest::newRow("backspace") << "12" << QChar('\b') << true;
        QTest::newRow("carriage return") << "12" << QChar('\r') << true;
        QTest::newRow("zero after zero") << "0" << QChar('0') << false;
        QTest::newRow("digit after zero") << "0" << QChar('7') << true;
        QTest::newRow("zero after ten") << "10" << QChar('0') << true;
        QTest::newRow("zero after minus zero") << "-0" << QChar('0') << true;
    }

    void filterNumericKey()
    {
        QFETCH(QString, text);
        QFETCH(QChar, key);
        QFETCH(bool, kept);
        QCOMPARE(FilterNumericKey(text, key), kept);
    }

    void leadingMinus_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QChar>("key");
        QTest::addColumn<bool>("kept");
        QTest::newRow("minus at start of filled") << "50" << 0 << QChar('-') << true;
        QTest::newRow("minus inside") << "50" << 1 << QChar('-') << false;
        QTest::newRow("second minus") << "-50" << 0 << QChar('-') << false;
        QTest::newRow("minus into empty") << "" << 0 << QChar('-') << true;
        QTest::newRow("digit goes through the filter") << "0" << 1 << QChar('0') << false;
    }

    void leadingMinus()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(QChar, key);
        QFETCH(bool, kept);
        QCOMPARE(FilterSignedKey(text, caret, key), kept);
    }

    void numericFieldSwallowsTypedKeys()
    {
        QLineEdit field;
        NumericKeyFilter::install(&field, NumericKeyFilter::Sign::Leading);
        QTest::keyClicks(&field, "12a.5.0");
        QCOMPARE(field.text(), QString("12.50"));
        field.setCursorPosition(0);
        QTest::keyClick(&field, '-');
        QCOMPARE(field.text(), QString("-12.50"));
        field.selectAll();
        QTest::keyClick(&field, Qt::Key_Delete);
        QCOMPARE(field.text(), QString());
    }

    void enterMovesFocusOrPresses()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *first = new QLineEdit(&window);
        auto *date = new QDateEdit(&window); // its own editor must not keep the focus
        auto *second = new QLineEdit(&window);
        auto *button = new QPushButton("确定", &window);
        layout->addWidget(first);
        layout->addWidget(date);
        layout->addWidget(second);
        layout->addWidget(button);
        EnterKeyFilter::moveFocusOn(first);
        EnterKeyFilter::moveFocusOn(date);
        EnterKeyFilter::press(second, button);
        QSignalSpy clicked(button, &QPushButton::clicked);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        first->setFocus();
        QTest::keyClick(first, Qt::Key_Return);
        QVERIFY(date->hasFocus());
        QTest::keyClick(date, Qt::Key_Return);
        QVERIFY(second->hasFocus());
        QTest::keyClick(second, Qt::Key_Return);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(second->text(), QString());
    }

    void gridShowsFormattedRowsAndFollowsTheDataset()
    {
        Fixture f;
        f.store->exec("insert into sp1(namea,dj,kc) values('钢管',0.0125,0),('扣件',2,1500.5)");
        Dataset ds(*f.store);
        ds.open("select * from sp1");
        DataGrid grid;
        QAbstractItemModelTester tester(grid.gridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        grid.setColumns({{"namea", "材料名称", "", Qt::AlignLeft, 0},
                         {"dj", "单价", "#0.0000;-#0.0000;#", Qt::AlignRight, 0},
                         {"kc", "库存期初数", "#0.00;-#0.00;#", Qt::AlignRight, 0}});
        grid.setDataset(&ds);
        grid.setRowColour([](const Dataset &d, int row) {
            return d.valueAt(row, d.fieldIndex("kc")).toDouble() > 0 ? QColor(0, 255, 255) : QColor(Qt::white);
        });
        DatasetModel *m = grid.gridModel();
        QCOMPARE(m->rowCount(), 2);
        QCOMPARE(m->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("单价"));
        QCOMPARE(m->text(0, 1), QString("0.0125"));
        QCOMPARE(m->text(0, 2), QString());
        QCOMPARE(m->text(1, 2), QString("1500.50"));
        QCOMPARE(m->data(m->index(1, 0), Qt::BackgroundRole).value<QColor>(), QColor(0, 255, 255));
        QCOMPARE(grid.palette().color(QPalette::Highlight), QColor(255, 255, 0)); // yellow
        // Every column centred down its row, whatever its alignment across.
        for (int c = 0; c < 3; ++c)
            QCOMPARE(m->data(m->index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignVertical_Mask,
                     Qt::AlignVCenter);

        ds.moveTo(1);
        QCOMPARE(grid.currentIndex().row(), 1);
        grid.setCurrentIndex(m->index(0, 1));
        QCOMPARE(ds.currentRow(), 0);
        ds.append();
        ds.setValue("namea", QString("模板"));
        QCOMPARE(m->rowCount(), 3);
        ds.post();
        ds.remove();
        QCOMPARE(m->rowCount(), 2);
        grid.setDataset(nullptr); // detached while a report is prepared
        QCOMPARE(m->rowCount(), 0);
    }

    void dataAwareEditShowsAndWrites()
    {
        Fixture f;
        f.store->exec("insert into sp1(namea,dj) values('钢管',0.0125)");
        Dataset ds(*f.store);
        ds.open("select * from sp1");
        DbEdit name, price;
        name.bind(&ds, "namea");
        price.bind(&ds, "dj", "#0.0000;-#0.0000;#");
        QCOMPARE(name.text(), QString("钢管"));
        QCOMPARE(price.text(), QString("0.0125"));
        QVERIFY(name.isReadOnly());
        ds.edit();
        QVERIFY(!name.isReadOnly());
        // Input stops at the column's capacity in GBK bytes (10: five Chinese characters).
        name.clear();
        typeText(&name, "六个汉字的名");
        QCOMPARE(name.text(), QString("六个汉字的"));
        QCOMPARE(ds.text("namea"), QString("六个汉字的"));
        price.setFocus();
        price.selectAll();
        QTest::keyClicks(&price, "2.5");
        ds.post();
        QCOMPARE(f.store->scalar("select dj from sp1").toDouble(), 2.5);
        QCOMPARE(price.text(), QString("2.5000")); // without the focus: the display pattern
    }

    void dataAwareListAndDatePicker()
    {
        Fixture f;
        f.store->exec("insert into sp2(khm,numa,jz,begina) values('甲','H1','否','2004-03-01'),('乙','H2','是','2004-05-06')");
        Dataset ds(*f.store);
        ds.open("select * from sp2");
        DbComboBox settled;
        settled.addItems({"是", "否"});
        settled.bind(&ds, "jz");
        DbDateEdit begin;
        begin.bind(&ds, "begina");
        QCOMPARE(settled.currentText(), QString("否"));
        QCOMPARE(begin.date(), QDate(2004, 3, 1));
        QVERIFY(!settled.isEnabled());
        QVERIFY(begin.isReadOnly());
        ds.next();
        QCOMPARE(settled.currentText(), QString("是"));
        QCOMPARE(begin.date(), QDate(2004, 5, 6));
        ds.edit();
        QVERIFY(settled.isEnabled() && !begin.isReadOnly());
        settled.textActivated("否");
        begin.setDate(QDate(2004, 6, 1));
        ds.post();
        QCOMPARE(joinedRow(*f.store, "select jz,begina from sp2 where numa='H2'", " "), QString("否 2004-06-01"));
    }

    // A date picker takes a date typed as digits, with or without separators, the year from
    // "today" when it is left out and the month shown when only a day is typed; Right is a
    // separator, Backspace takes a digit back. Enter takes it, and the long form shows again.
    void dateTypedAsDigits_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QDate>("date");
        const QDate last(2026, 12, 31), thisYear(2004, 12, 31);
        QTest::newRow("eight digits") << "20261231" << last;
        QTest::newRow("dashes") << "2026-12-31" << last;
        QTest::newRow("dots") << "2026.12.31" << last;
        QTest::newRow("slashes, short parts") << "2026/1/5" << QDate(2026, 1, 5);
        QTest::newRow("right arrow between parts") << "2026>12>31" << last;
        QTest::newRow("backspace") << "2026-12-4\b31" << last;
        QTest::newRow("month and day") << "12-31" << thisYear;
        QTest::newRow("month.day") << "12.31" << thisYear;
        QTest::newRow("four digits") << "1231" << thisYear;
        QTest::newRow("a day of the month shown") << "7" << QDate(2004, 3, 7);
        QTest::newRow("no such day: kept") << "20260230" << QDate(2004, 3, 15);
        QTest::newRow("no such month: kept") << "13-01" << QDate(2004, 3, 15);
        QTest::newRow("six digits: kept") << "202612" << QDate(2004, 3, 15);
    }

    void dateTypedAsDigits()
    {
        QFETCH(QString, keys);
        QFETCH(QDate, date);
        QWidget window;
        auto *field = new DateField(&window);
        auto *next = new QLineEdit(&window);
        field->setToday([] { return QDate(2004, 2, 1); });
        field->setDate(QDate(2004, 3, 15));
        QStringList refusals;
        connect(field, &DateField::refused, this, [&](const QString &text) { refusals << text; });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus();
        for (const QChar c : keys) {
            if (c == '>')
                QTest::keyClick(field, Qt::Key_Right);
            else if (c == '\b')
                QTest::keyClick(field, Qt::Key_Backspace);
            else
                QTest::keyClicks(field, QString(c));
        }
        QTest::keyClick(field, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(field->date(), date);
        const QString typed = QString(keys).replace('>', '-').remove("4\b");
        if (date == QDate(2004, 3, 15)) {
            QCOMPARE(refusals, QStringList{"“" + typed + "”不是有效的日期，请按年月日输入，例如 20261231、2026-12-31 或 12-31。"});
            QCOMPARE(field->text(), typed); // the typed text stays to be mended
            next->setFocus(); // leaving it: still kept, told once more
            QCoreApplication::processEvents();
            QCOMPARE(field->text(), typed);
            QCOMPARE(refusals.size(), 2);
            field->setFocus();
            QTest::keyClick(field, Qt::Key_Escape);
            QCOMPARE(field->text(), QString("2004年3月15日"));
        } else {
            QCOMPARE(refusals, QStringList());
            QCOMPARE(field->text(), date.toString("yyyy年M月d日"));
        }
    }

    // Up and Down step the day, whichever part of the date the caret is in, also right after a
    // typed date; Tab takes a typed date and leaves the field.
    void dateStepsByTheDay()
    {
        QWidget window;
        auto *field = new DateField(&window);
        auto *next = new QLineEdit(&window);
        field->setDate(QDate(2004, 12, 31));
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        field->setFocus(Qt::TabFocusReason); // the year part selected
        QTest::keyClick(field, Qt::Key_Up);
        QCOMPARE(field->date(), QDate(2005, 1, 1));
        QTest::keyClick(field, Qt::Key_Down);
        QTest::keyClick(field, Qt::Key_Down);
        QCOMPARE(field->date(), QDate(2004, 12, 30));
        QTest::keyClicks(field, "20040229");
        QTest::keyClick(field, Qt::Key_Up);
        QCOMPARE(field->date(), QDate(2004, 3, 1));
        QTest::keyClicks(field, "0105");
        QTest::keyClick(field, Qt::Key_Tab);
        QCOMPARE(field->date(), QDate(2004, 1, 5)); // the year of the date shown
        QCOMPARE(QApplication::focusWidget(), next);
    }

    // A tiny record-maintenance form: the captions are the state.
    void maintenanceButtons()
    {
        Fixture f;
        QWidget form;
        auto *edit = new QPushButton(&form), *add = new QPushButton(&form), *del = new QPushButton(&form),
             *exit = new QPushButton("返回(&X)", &form);
        auto *list = new QWidget(&form);
        auto *field = new QLineEdit(&form);
        Dataset ds(*f.store);
        ds.open("select * from sp1");
        MaintenanceButtons buttons(edit, add, del, exit, f.ui);
        buttons.setLists({list});
        buttons.setFields({field});
        bool valid = false;
        buttons.startEdit = [&] {
            ds.edit();
            return true;
        };
        buttons.startAdd = [&] {
            ds.append();
            return true;
        };
        buttons.save = [&] {
            if (!valid) {
                f.ui.message(nullptr, "名称不能为空", Interaction::caption());
                return false;
            }
            ds.setValue("namea", field->text());
            ds.post();
            return true;
        };
        buttons.cancel = [&] { ds.cancel(); };
        buttons.remove = [&] {
            if (f.ui.confirm(nullptr, "确定删除吗?", Interaction::caption()))
                ds.remove();
        };
        buttons.isEmpty = [&] { return ds.isEmpty(); };
        buttons.refresh();

        auto state = [&] {
            return QStringList{edit->text(), add->text(), del->text(), edit->isEnabled() ? "e" : "-",
                               add->isEnabled() ? "a" : "-", exit->isEnabled() ? "x" : "-",
                               list->isEnabled() ? "l" : "-", field->isReadOnly() ? "r" : "w"}
                .join(' ');
        };
        QCOMPARE(state(), QString("编辑(&E) 添加(&A) 删除(&D) - a x l r")); // empty: no editing
        add->click();
        QCOMPARE(state(), QString("编辑(&E) 保存(&S) 取消(&C) - a - - w"));
        field->setText("钢管");
        add->click(); // refused: stays editing, the typed text kept
        QCOMPARE(f.ui.texts("message"), QStringList{"名称不能为空"});
        QCOMPARE(state(), QString("编辑(&E) 保存(&S) 取消(&C) - a - - w"));
        QCOMPARE(field->text(), QString("钢管"));
        valid = true;
        add->click();
        QCOMPARE(state(), QString("编辑(&E) 添加(&A) 删除(&D) e a x l r"));
        QCOMPARE(f.store->scalar("select count(*) from sp1").toInt(), 1);
        edit->click();
        QCOMPARE(state(), QString("保存(&S) 添加(&A) 取消(&C) e - - - w"));
        del->click(); // cancel
        QCOMPARE(state(), QString("编辑(&E) 添加(&A) 删除(&D) e a x l r"));
        f.ui.answers << false;
        del->click();
        QCOMPARE(f.store->scalar("select count(*) from sp1").toInt(), 1);
        f.ui.answers << true;
        del->click();
        QCOMPARE(f.store->scalar("select count(*) from sp1").toInt(), 0);
        QCOMPARE(state(), QString("编辑(&E) 添加(&A) 删除(&D) - a x l r"));

        // A store error during a step is shown, and the screen keeps editing.
        buttons.save = [&] {
            ds.setValue("namea", QString("名字远远超过十个字节"));
            ds.post();
            return true;
        };
        add->click();
        add->click();
        QCOMPARE(f.ui.texts("error").size(), 1);
        QCOMPARE(buttons.mode(), MaintenanceButtons::Mode::Adding);

        buttons.setMayEdit(false);
        QVERIFY(edit->isHidden() && add->isHidden() && del->isHidden());
        QVERIFY(!exit->isHidden());
    }

    // Alt with a button's letter presses a shown, enabled button; the letter of a hidden or
    // disabled one does nothing at all: no click and no letter in the focused field or list.
    void unusedMnemonicsDoNothing()
    {
        Fixture f;
        Screen screen(*f.context);
        auto *layout = new QVBoxLayout(&screen);
        auto *search = new QLineEdit(&screen);
        auto *list = new QComboBox(&screen);
        list->addItems({"甲", "d1", "e1"});
        auto *edit = new QPushButton("编辑(&E)", &screen);
        auto *add = new QPushButton("添加(&A)", &screen);
        auto *del = new QPushButton("删除(&D)", &screen);
        for (QWidget *w : {static_cast<QWidget *>(search), static_cast<QWidget *>(list), static_cast<QWidget *>(edit),
                           static_cast<QWidget *>(add), static_cast<QWidget *>(del)})
            layout->addWidget(w);
        QStringList clicked;
        for (QPushButton *b : {edit, add, del})
            connect(b, &QPushButton::clicked, this, [&clicked, b] { clicked << b->text(); });
        edit->hide();
        del->setEnabled(false);
        screen.show();
        screen.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&screen));

        for (QWidget *focus : {static_cast<QWidget *>(search), static_cast<QWidget *>(list)}) {
            focus->setFocus();
            for (const Qt::Key key : {Qt::Key_E, Qt::Key_D, Qt::Key_X})
                QTest::keyClick(focus, key, Qt::AltModifier);
        }
        QCOMPARE(search->text(), QString());
        QCOMPARE(list->currentIndex(), 0);
        QCOMPARE(clicked, QStringList());

        QTest::keyClick(search, Qt::Key_A, Qt::AltModifier);
        QVERIFY(add->isDown()); // a shortcut clicks when the button has shown itself pressed
        QVERIFY(QTest::qWaitFor([&] { return !add->isDown(); }));
        QCOMPARE(clicked, QStringList{"添加(&A)"});
        QTest::keyClicks(search, "ed"); // plain letters still type
        QCOMPARE(search->text(), QString("ed"));
    }

    // A handler wired with on() runs under the frame's guard: what it throws is shown and never
    // leaves the slot; the handler gets the signal's arguments it takes.
    void handlersRunGuarded()
    {
        Fixture f;
        FrameScreen screen(*f.context, Screen::Activation::EveryTime);
        screen.button->click();
        Q_EMIT screen.list->activated(1);
        QCOMPARE(f.ui.texts("error"), (QStringList{"磁盘已满，数据没有保存。", "程序出错：kaputt"}));
        QCOMPARE(screen.chosen, 1);
    }

    // A screen activates when shown and, unless it activates once per opening, again each time it
    // is active after another window of the program; shown anew, it activates anew.
    void activation_data()
    {
        QTest::addColumn<bool>("oncePerOpening");
        QTest::addColumn<int>("afterChild");
        QTest::addColumn<int>("afterReopening");
        QTest::newRow("every time") << false << 2 << 3;
        QTest::newRow("once per opening") << true << 1 << 2;
    }

    void activation()
    {
        QFETCH(bool, oncePerOpening);
        QFETCH(int, afterChild);
        QFETCH(int, afterReopening);
        Fixture f;
        FrameScreen screen(*f.context, oncePerOpening ? Screen::Activation::OncePerOpening : Screen::Activation::EveryTime);
        screen.show();
        QCOMPARE(screen.activations, 1);
        screen.activate(); // what the frame does when the screen is active again after a child window
        QCOMPARE(screen.activations, afterChild);
        screen.hide();
        screen.show();
        QCOMPARE(screen.activations, afterReopening);
    }

    void statusMirrorFollowsTheTexts()
    {
        Fixture f;
        QStatusBar bar;
        StatusMirror mirror(&bar, *f.context);
        const QString fixed = QString("专业从事财务,进销存,报表,仓库,工资,档案等软件开发业务.").repeated(3);
        f.context->setStatus({"当前用户名:录入员", fixed, "2004年2月1日  8:3:9 星期日"});
        QCOMPARE(mirror.panel(0)->text(), QString("当前用户名:录入员"));
        QCOMPARE(mirror.panel(2)->text(), QString("2004年2月1日  8:3:9 星期日"));
        QCOMPARE(mirror.panel(0)->width(), 115);
        bar.resize(1024, 24);
        bar.show();
        // A text too long for its panel shows from its start, cut at the end, whole in the tooltip.
        const QString shown = mirror.panel(1)->text();
        QVERIFY(shown.endsWith(QChar(0x2026)));
        QVERIFY(fixed.startsWith(shown.chopped(1)));
        QCOMPARE(mirror.panel(1)->toolTip(), fixed);
    }

    void inputMethodFollowsTheSettings()
    {
        Fixture f;
        QLineEdit field;
        f.context->applyInputMethod({&field});
        QCOMPARE(field.property("inputMethod").toString(), QString()); // "不使用自动开启输入法"
        f.store->exec("update srf set srf='青禾五笔2'");
        f.context->reopenSettings();
        f.context->applyInputMethod({&field});
        QCOMPARE(field.property("inputMethod").toString(), QString("青禾五笔2"));
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
