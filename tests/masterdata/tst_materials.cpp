#include "screens.h"
#include "masterdata/materials.h"
#include "masterdata/sizes.h"
#include "printing/preview.h"
#include "printing/printaction.h"
#include "widgets/datagrid.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace tolva;

namespace {

// Materials 钢管 and 扣件, specifications of 钢管, and copies of the names in the other tables.
void fill(Fixture &f)
{
    f.store->exec("insert into sp1(namea,dj,kc,numsb) values('钢管',0.01,100,2),('扣件',0.02,0,0)");
    f.store->exec("insert into sp5(namea,gg,dw,dw1,bl) values('钢管','6米','根','米',6),('钢管','1.5米','根','米',1.5)");
    f.store->exec("insert into czbnow(numa,namea,gg,dw,dw1,bl,a1,a2) values('H1','钢管','1.5米','根','米',1.5,10,15),"
                  "('H1','钢管','6米','根','米',6,1,6),('H2','扣件','直角','个','个',1.5,5,7.5)");
    f.store->exec("insert into czb(numa,namea) values('H1','钢管')");
    f.store->exec("insert into czb1(numa,namea) values('H1','钢管')");
    f.store->exec("insert into czb2(numa,namea) values('H1','钢管')");
    f.logIn("录入员");
}

} // namespace

class TestMaterials : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void activationShowsTheLastMaterial()
    {
        Fixture f;
        fill(f);
        Open<Tsp1> s(f);
        QCOMPARE(s.screen.windowTitle(), QString("租赁材料名称维护系统"));
        QCOMPARE(s.field("Edit1")->text(), QString("扣件"));
        QVERIFY(s.field("Edit1")->isReadOnly());
        s.screen.materials().first();
        QCOMPARE(s.field("Edit1")->text(), QString("钢管"));
        QVERIFY(s.screen.findChild<QRadioButton *>("check1_2")->isChecked());
        QCOMPARE(s.field("DBEdit2")->text(), QString("100.00"));
    }

    void fifteenMaterialsAtMost()
    {
        Fixture f;
        f.logIn("录入员");
        for (int i = 0; i < 15; ++i)
            f.store->exec("insert into sp1(namea,dj) values(:n,1)", {{"n", QString("材料%1").arg(i)}});
        Open<Tsp1> s(f);
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message"), QStringList{"材料名称只能控制在15个以内,无法再添加！"});
        QCOMPARE(s.button("btn1_add")->text(), QString("添加(&A)"));
        QCOMPARE(f.store->scalar("select count(*) from sp1").toInt(), 15);
    }

    void addWithoutPriceAndDuplicates()
    {
        Fixture f;
        fill(f);
        Open<Tsp1> s(f);
        s.click("btn1_add");
        QCOMPARE(s.field("Edit1")->text(), QString());
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").last(), QString("没有输入数据，无法保存！"));
        QCOMPARE(s.button("btn1_add")->text(), QString("保存(&S)"));
        s.set("Edit1", "模板");
        s.click("btn1_add");
        QCOMPARE(column(*f.store, "select namea from sp1"), (QStringList{"钢管", "扣件", "模板"}));
        QCOMPARE(f.store->scalar("select dj from sp1 where namea='模板'").toDouble(), 0.0);
        // As typed: "扣件" is a duplicate, " 扣件" is not.
        s.click("btn1_add");
        s.set("Edit1", "扣件");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").last(), QString("有重复的数据存在，无法保存！"));
        QCOMPARE(f.store->scalar("select count(*) from sp1").toInt(), 3);
        QCOMPARE(s.button("btn1_add")->text(), QString("添加(&A)"));
    }

    void editRefusesZeroOrEmptyPrice()
    {
        Fixture f;
        fill(f);
        Open<Tsp1> s(f);
        s.click("btn1_edit");
        s.set("DBEdit1", "0");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message").last(), QString("单价必须输入！"));
        QCOMPARE(s.button("btn1_edit")->text(), QString("保存(&S)"));
        s.set("DBEdit1", "");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message").size(), 2);
        s.set("DBEdit1", "0.05");
        s.click("btn1_edit");
        QCOMPARE(f.store->scalar("select dj from sp1 where namea='扣件'").toDouble(), 0.05);
        QCOMPARE(s.button("btn1_edit")->text(), QString("编辑(&E)"));
    }

    // With a closed period, a new price asks first, naming the closing date; refused, the typed price
    // stays pending. A change of the name alone asks nothing.
    void aNewPriceInAClosedLedgerAsksFirst()
    {
        Fixture f;
        fill(f);
        f.store->exec("update srf set zzrq='2004-01-31'");
        Open<Tsp1> s(f);
        s.click("btn1_edit");
        s.set("DBEdit1", "0.05");
        f.ui.answers = {false};
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("confirm"),
                 QStringList{"账已经结到2004-01-31。修改单价会改变该材料所有的结算单，包括已结账的，是否继续修改？"});
        QCOMPARE(s.button("btn1_edit")->text(), QString("保存(&S)"));
        QCOMPARE(s.field("DBEdit1")->text(), QString("0.05"));
        QVERIFY(f.store->scalar("select dj from sp1 where namea='扣件'").toDouble() != 0.05);
        f.ui.answers = {true};
        s.click("btn1_edit");
        QCOMPARE(f.store->scalar("select dj from sp1 where namea='扣件'").toDouble(), 0.05);
        s.click("btn1_edit");
        s.set("Edit1", "扣件甲");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("confirm").size(), 2);
        QCOMPARE(column(*f.store, "select namea from sp1"), (QStringList{"钢管", "扣件甲"}));
    }

    void renameReachesEveryCopyButCzb()
    {
        Fixture f;
        fill(f);
        Open<Tsp1> s(f);
        s.screen.materials().first();
        s.click("btn1_edit");
        s.set("Edit1", "脚手管");
        s.screen.findChild<QRadioButton *>("check1_3")->setChecked(true);
        s.click("btn1_edit");
        QCOMPARE(column(*f.store, "select namea from sp1"), (QStringList{"脚手管", "扣件"}));
        QCOMPARE(f.store->scalar("select numsb from sp1 where namea='脚手管'").toInt(), 3);
        for (const char *table : {"czb1", "czb2"})
            QCOMPARE(column(*f.store, QString("select namea from %1").arg(table)), QStringList{"脚手管"});
        QCOMPARE(column(*f.store, "select distinct namea from sp5"), QStringList{"脚手管"});
        QCOMPARE(column(*f.store, "select namea from czbnow where numa='H1'"), (QStringList{"脚手管", "脚手管"}));
        QCOMPARE(column(*f.store, "select namea from czb"), QStringList{"钢管"});

        // To another material's name: refused, nothing changes.
        s.click("btn1_edit");
        s.set("Edit1", "扣件");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message").last(), QString("有重复的数据，无法保存！"));
        QCOMPARE(column(*f.store, "select namea from sp1"), (QStringList{"脚手管", "扣件"}));
        QCOMPARE(s.field("Edit1")->text(), QString("脚手管"));
        // Its own name, padded: accepted without any renaming.
        s.click("btn1_edit");
        s.set("Edit1", "脚手管 ");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message").size(), 1);
    }

    void quotesInANameAreJustCharacters()
    {
        Fixture f;
        fill(f);
        Open<Tsp1> s(f);
        s.click("btn1_add");
        s.set("Edit1", "O'K\"管");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("error"), QStringList());
        QCOMPARE(f.store->scalar("select count(*) from sp1 where namea=:g1", {{"g1", "O'K\"管"}}).toInt(), 1);
        f.store->exec("insert into sp5(namea,gg,bl) values(:g1,'x',1)", {{"g1", "O'K\"管"}});
        s.click("btn1_edit");
        s.set("DBEdit1", "1");
        s.set("Edit1", "\"'");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("error"), QStringList());
        QCOMPARE(column(*f.store, "select namea from sp5 where gg='x'"), QStringList{"\"'"});
    }

    void nameStopsAtTenBytes()
    {
        Fixture f;
        fill(f);
        Open<Tsp1> s(f);
        s.click("btn1_add");
        QLineEdit *name = s.field("Edit1");
        name->setFocus();
        typeText(name, "六个汉字的名");
        QCOMPARE(name->text(), QString("六个汉字的"));
    }

    void deletionRefusedWhileInUse()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into sp1(namea,dj) values('模板',1)");
        f.store->exec("insert into czb1(numa,namea) values('H1','模板')"); // only in czb1: may go
        Open<Tsp1> s(f);
        s.screen.materials().moveTo(1); // 扣件: movements
        f.ui.answers << false;
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("confirm"), QStringList{"的要删除[扣件]这个数据吗？"});
        QCOMPARE(f.store->scalar("select count(*) from sp1").toInt(), 3);
        f.ui.answers << true;
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("message"), QStringList{"数据库中有数据存在，无法删除！"});
        s.screen.materials().moveTo(2);
        f.ui.answers << true;
        s.click("btn1_del");
        QCOMPARE(column(*f.store, "select namea from sp1"), (QStringList{"钢管", "扣件"}));
        QCOMPARE(s.field("Edit1")->text(), QString("扣件"));
    }

    void priceAndStockFieldsFilterKeys_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text");
        QTest::newRow("price: digits and one point") << "DBEdit1" << "1.2.5a" << "1.25";
        QTest::newRow("price: no leading point") << "DBEdit1" << ".5" << "5";
        QTest::newRow("stock: no second zero") << "DBEdit2" << "00" << "0";
        QTest::newRow("stock: minus only first") << "DBEdit2" << "3-" << "3";
    }

    void priceAndStockFieldsFilterKeys()
    {
        QFETCH(QString, field);
        QFETCH(QString, keys);
        QFETCH(QString, text);
        Fixture f;
        fill(f);
        Open<Tsp1> s(f);
        s.click("btn1_add");
        QLineEdit *e = s.field(qPrintable(field));
        e->setFocus();
        e->clear();
        QTest::keyClicks(e, keys);
        QCOMPARE(e->text(), text);
        e->setCursorPosition(0);
        QTest::keyClick(e, '-');
        QCOMPARE(e->text(), "-" + text);
    }

    void rightsHideTheChangingButtons_data()
    {
        QTest::addColumn<QString>("right");
        QTest::addColumn<bool>("shown");
        QTest::newRow("录入") << "录入" << true;
        QTest::newRow("管理") << "管理" << false;
        QTest::newRow("查询") << "查询" << false;
    }

    void rightsHideTheChangingButtons()
    {
        QFETCH(QString, right);
        QFETCH(bool, shown);
        Fixture f;
        fill(f);
        f.store->exec("update sbpass set popedoma=:g1 where namea='录入员'", {{"g1", right}});
        f.logIn("录入员");
        Open<Tsp1> materials(f);
        Open<Tsp5> specs(f);
        for (const char *name : {"btn1_edit", "btn1_add", "btn1_del"}) {
            QCOMPARE(!materials.button(name)->isHidden(), shown);
            QCOMPARE(!specs.button(name)->isHidden(), shown);
        }
        QVERIFY(!materials.button("btn1_exit")->isHidden());
        QVERIFY(!specs.button("btn1_print")->isHidden());
    }

    void specificationsFollowTheMaterial()
    {
        Fixture f;
        fill(f);
        Open<Tsp5> s(f);
        QCOMPARE(s.screen.specifications().rowCount(), 2);
        QCOMPARE(s.field("DBEdit4")->text(), QString("6.000000"));
        QCOMPARE(s.field("DBEdit1")->property("inputMethod").toString(), QString("青禾五笔2"));
        s.screen.materials().moveTo(1);
        QVERIFY(s.screen.specifications().isEmpty());
        QVERIFY(!s.button("btn1_edit")->isEnabled());
    }

    void emptyMaterialsLeaveLittleToDo()
    {
        Fixture f;
        f.logIn("录入员");
        Open<Tsp5> s(f);
        QVERIFY(s.screen.materials().isEmpty());
        QVERIFY(s.screen.specifications().isEmpty());
        QVERIFY(!s.button("btn1_edit")->isEnabled());
        QVERIFY(!s.button("btn1_add")->isEnabled());
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("message"), QStringList{"无记录可删除！"});
        s.click("btn1_print");
        QCOMPARE(f.ui.texts("message").last(), QString("没有数据,无法打印！"));
    }

    void ratioAndTextChangesReachOnlyThatSpecification()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into czbnow(numa,namea,gg,dw,dw1,bl,a1,b1,a2) values('H1','钢管','1.5米','根','米',1.5,0,4,-6)");
        Open<Tsp5> s(f);
        s.screen.specifications().moveTo(1); // 1.5米, ratio 1.5
        s.click("btn1_edit");
        s.set("DBEdit4", "2");
        s.set("DBEdit1", "2米");
        f.ui.answers << false; // asked first: Cancel keeps the row pending, nothing written
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("confirm"), QStringList{"该规格已有2笔发生数据,修改换算比率将重新计算这些数据,是否继续？"});
        QCOMPARE(s.button("btn1_edit")->text(), QString("保存(&S)"));
        QCOMPARE(column(*f.store, "select bl from czbnow order by rowid"), (QStringList{"1.5", "6", "1.5", "1.5"}));
        f.ui.answers << true;
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message"), QStringList());
        // The movements of that specification take the ratio and are recomputed from their own pieces;
        // the other specification and the other material keep theirs.
        QCOMPARE(joinedRows(*f.store, "select bl,a2 from czbnow order by rowid"),
                 (QStringList{"2.0 20.0", "6.0 6.0", "1.5 7.5", "2.0 -8.0"}));
        QCOMPARE(column(*f.store, "select gg from czbnow where namea='钢管' order by rowid"),
                 (QStringList{"2米", "6米", "2米"}));
        QCOMPARE(column(*f.store, "select bl from sp5 where gg='2米'"), QStringList{"2"});

        // A unit change reaches that specification's movements, not the other one's.
        s.click("btn1_edit");
        s.set("DBEdit2", "支");
        s.click("btn1_edit");
        QCOMPARE(column(*f.store, "select dw from czbnow where namea='钢管' order by rowid"),
                 (QStringList{"支", "根", "支"}));
    }

    void specificationDuplicatesAndCompleteness()
    {
        Fixture f;
        fill(f);
        Open<Tsp5> s(f);
        s.click("btn1_add");
        QCOMPARE(s.field("DBEdit1")->text(), QString("6米")); // a copy of the current one
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").last(), QString("数据输入不完整，无法保存！")); // no ratio yet
        s.set("DBEdit4", "6");
        s.click("btn1_add");
        QCOMPARE(f.ui.texts("message").last(), QString("有重复的数据存在，无法保存！"));
        QCOMPARE(f.store->scalar("select count(*) from sp5").toInt(), 2);
        s.click("btn1_add");
        s.set("DBEdit1", "3米");
        s.set("DBEdit4", "3");
        s.click("btn1_add");
        QCOMPARE(f.store->scalar("select count(*) from sp5 where namea='钢管'").toInt(), 3);
        // Editing to another specification's text within the material is refused.
        s.screen.specifications().first();
        s.click("btn1_edit");
        s.set("DBEdit1", "3米");
        s.click("btn1_edit");
        QCOMPARE(f.ui.texts("message").last(), QString("有重复的数据，无法保存！"));
        QCOMPARE(column(*f.store, "select gg from sp5 order by rowid"), (QStringList{"6米", "1.5米", "3米"}));
    }

    void specificationInUseCannotGo()
    {
        Fixture f;
        fill(f);
        Open<Tsp5> s(f);
        f.ui.answers << true;
        s.click("btn1_del");
        QCOMPARE(f.ui.texts("message"), QStringList{"数据库中有数据，无法删除！"});
        f.store->exec("delete from czbnow where gg='6米'");
        f.ui.answers << true;
        s.click("btn1_del");
        QCOMPARE(column(*f.store, "select gg from sp5"), QStringList{"1.5米"});
    }

    void printListsSpecificationsInNameOrder()
    {
        Fixture f;
        fill(f);
        f.store->exec("insert into sp5(namea,gg,dw,dw1,bl) values('扣件','直角','个','个',1),('钢管','3米','根','米',3)");
        Open<Tsp5> s(f);
        f.ui.windows["PrintDialog"] = [](QDialog *) { return 0; };
        s.click("btn1_print");
        const report::PreparedReport &r = previewWindow(*f.context).preparedReport();
        QCOMPARE(r.pageCount(), 1);
        QStringList names, specs;
        for (const report::PlacedText &t : r.pages.first().texts) {
            if (t.memo == "Memo8")
                names << t.lines.join("");
            if (t.memo == "Memo10")
                specs << t.lines.join("");
        }
        QCOMPARE(names, (QStringList{"扣件", "钢管", "钢管", "钢管"}));
        QCOMPARE(specs, (QStringList{"直角", "1.5米", "3米", "6米"}));
        QVERIFY(r.pages.first().strings().contains("6.000000"));
    }
};

QTEST_MAIN(TestMaterials)
#include "tst_materials.moc"
