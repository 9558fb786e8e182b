#include "useradmin.h"
#include "ui_useradmin.h"

#include "userrules.h"
#include "widgets/context.h"
#include "widgets/datagrid.h"
#include "widgets/numerickey.h"

#include <QShowEvent>

namespace tolva {

Tsbpassset::Tsbpassset(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tsbpassset>()), query2_(context.store())
{
    ui->setupUi(this);
    setUpFrame(nullptr, false, Closing::ExitButtonOnly);
    ui->DBGrid1->setColumns({{QStringLiteral("Namea"), QStringLiteral("姓名"), QString(), Qt::AlignLeft, 110},
                             {QStringLiteral("Popedoma"), QStringLiteral("权限"), QString(), Qt::AlignLeft, 80},
                             {QStringLiteral("Passa"), QStringLiteral("密码"), QString(), Qt::AlignLeft, 110}});
    ui->DBGrid1->setDataset(&query2_);
    ui->Edit1->setMaxLength(users::NameLength);
    ui->Edit2->setMaxLength(users::PasswordLength);
    ui->ComboBox1->setEditable(false);
    ui->ComboBox1->addItems({users::administration(), users::dataEntry(), users::query()});
    enterChain({ui->Edit1, ui->ComboBox1, ui->Edit2});

    connect(ui->Edit1, &QLineEdit::textEdited, this, [this](const QString &text) { write(QStringLiteral("namea"), text); });
    connect(ui->ComboBox1, &QComboBox::activated, this,
            [this] { write(QStringLiteral("popedoma"), ui->ComboBox1->currentText()); });
    connect(ui->Edit2, &QLineEdit::textEdited, this, [this](const QString &text) { write(QStringLiteral("passa"), text); });
    connect(&query2_, &Dataset::currentChanged, this, [this] {
        if (!adding_)
            showRow();
    });
    connect(ui->btn_add, &QPushButton::clicked, this, [this] { guard([this] { btn_addClick(); }); });
    connect(ui->btn_del, &QPushButton::clicked, this, [this] { guard([this] { btn_delClick(); }); });
    connect(ui->btn_exit, &QPushButton::clicked, this, [this] { guard([this] { btn_exitClick(); }); });
}

Tsbpassset::~Tsbpassset() = default;

void Tsbpassset::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        fresh_ = true;
    Screen::showEvent(event);
}

void Tsbpassset::runActivation()
{
    // Once per opening: a message must not move the grid back to the first row.
    if (!fresh_)
        return;
    fresh_ = false;
    Screen::runActivation();
}

void Tsbpassset::FormActivate()
{
    query2_.close();
    query2_.open(QStringLiteral("select * from sbpass"));
    showRow();
    ui->DBGrid1->setFocus();
    context().applyInputMethod({ui->DBGrid1, ui->Edit1});
}

void Tsbpassset::showRow()
{
    if (!query2_.isOpen() || query2_.currentRow() < 0)
        return;
    ui->Edit1->setText(query2_.text(QStringLiteral("namea")));
    ui->ComboBox1->setCurrentIndex(ui->ComboBox1->findText(query2_.text(QStringLiteral("popedoma"))));
    // A user without a password leaves the field as it was. A server keeps the passwords of its
    // logins to itself: the field is empty, for a new one to be typed.
    if (!query2_.isNull(QStringLiteral("passa")))
        ui->Edit2->setText(query2_.text(QStringLiteral("passa")));
    else if (context().store().isServer())
        ui->Edit2->clear();
}

void Tsbpassset::write(const QString &field, const QString &value)
{
    if (adding_)
        return;
    guard([&] {
        const Outcome outcome = users::change(query2_, field, value);
        if (!outcome) {
            message(outcome.message());
            if (outcome.discardsPending())
                showRow(); // the administrator's name and right come back
        }
    });
}

void Tsbpassset::setAdding(bool adding)
{
    adding_ = adding;
    ui->btn_add->setText(adding ? QStringLiteral("保存(&S)") : QStringLiteral("添加(&A)"));
    ui->btn_del->setText(adding ? QStringLiteral("取消(&C)") : QStringLiteral("删除(&D)"));
    ui->DBGrid1->setEnabled(!adding);
    ui->btn_exit->setEnabled(!adding);
}

void Tsbpassset::btn_addClick()
{
    if (!adding_) {
        setAdding(true);
        ui->Edit1->clear();
        ui->Edit2->setText(Context::defaultPassword());
        ui->Edit1->setFocus();
        return;
    }
    const QString name = ui->Edit1->text(), right = ui->ComboBox1->currentText(), password = ui->Edit2->text();
    const Outcome outcome = users::add(query2_, name, right, password);
    if (!outcome && !outcome.discardsPending()) {
        // A name taken by another user: the typed row stays in the add mode, to be mended.
        message(outcome.message());
        ui->Edit1->setFocus();
        ui->Edit1->selectAll();
        return;
    }
    setAdding(false);
    query2_.refresh();
    if (!outcome) {
        // What was typed stays in the fields.
        ui->Edit1->setText(name);
        ui->ComboBox1->setCurrentIndex(ui->ComboBox1->findText(right));
        ui->Edit2->setText(password);
        message(outcome.message());
        return;
    }
    showRow();
}

void Tsbpassset::btn_delClick()
{
    if (adding_) {
        setAdding(false);
        query2_.refresh();
        showRow();
        return;
    }
    const Outcome outcome = users::removable(query2_);
    if (!outcome) {
        message(outcome.message());
    } else if (confirm(QStringLiteral("真的要删除[") + query2_.text(QStringLiteral("namea")) +
                       QStringLiteral("]这位数据吗？"))) {
        query2_.remove();
    }
    query2_.refresh();
    showRow();
}

void Tsbpassset::btn_exitClick()
{
    if (users::leave(context().store()))
        context().interaction().message(this, QStringLiteral("第一条记录的权限必须是管理人员，系统已自动代入！"),
                                        QString());
    query2_.close();
    accept();
}

} // namespace tolva
