#include "helpwindow.h"

#include "desktopseam.h"

#include "widgets/context.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTextBrowser>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tolva {

namespace {

struct Entry {
    const char *page;
    const char *title;
};

// The contents in the order of the main menu.
const Entry contents[] = {
    {"index", "帮助目录"},
    {"N11", "数据录入"}, {"N23", "维修费结算单"}, {"N32", "报废赔偿结算单"}, {"N21", "合同号管理"},
    {"N7", "租赁材料名称管理"}, {"N61", "押金数据录入"}, {"N71", "租金数据录入"}, {"N81", "材料规格"},
    {"N14", "客户租赁结算单"}, {"N24", "材料分布表统计"}, {"N33", "租赁费结算汇总表"},
    {"N42", "客户租赁材料结余量汇总表"}, {"N41", "库存数据统计"}, {"N63", "客户租赁明细统计"},
    {"N01", "更换用户名"}, {"N17", "密码修改"}, {"N22", "选择输入法"}, {"N31", "单位名称设置"},
    {"N43", "选择明细表打印格式及计算方法"}, {"N62", "数据备份与恢复"},
    {"N110", "帮助信息"}, {"N210", "软件操作步骤演示(带语音)"}, {"A1", "关于..."}, {"N35", "在线升级..."},
    {"N3", "退 出"}, {"methods", "三种计算方法"},
};

QUrl pageUrl(const QString &name)
{
    return QUrl(QStringLiteral("qrc:/help/pages/%1.html").arg(name));
}

} // namespace

Thelp::Thelp(Context &context, const QString &note, QWidget *parent)
    : Screen(context, parent), contents_(new QListWidget), browser_(new QTextBrowser), note_(new QLabel(note))
{
    setObjectName(QStringLiteral("Thelp"));
    setWindowTitle(QStringLiteral("帮助信息"));
    setUpFrame(nullptr, false);
    resize(860, 600);

    contents_->setObjectName(QStringLiteral("contents"));
    browser_->setObjectName(QStringLiteral("browser"));
    note_->setObjectName(QStringLiteral("note"));
    note_->setVisible(!note.isEmpty());
    note_->setWordWrap(true);
    for (const Entry &e : contents) {
        auto *item = new QListWidgetItem(QString::fromUtf8(e.title), contents_);
        item->setData(Qt::UserRole, QString::fromLatin1(e.page));
    }
    auto *split = new QSplitter;
    split->addWidget(contents_);
    split->addWidget(browser_);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 640});
    auto *back = new QPushButton(QStringLiteral("返回(&X)"));
    back->setObjectName(QStringLiteral("btn1_exit"));
    back->setAutoDefault(false);
    on(back, &QPushButton::clicked, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(back);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note_);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);

    on(contents_, &QListWidget::currentItemChanged, [this](QListWidgetItem *item) {
        if (item && page() != item->data(Qt::UserRole).toString())
            browser_->setSource(pageUrl(item->data(Qt::UserRole).toString()));
    });
    // Links between pages keep the contents in step.
    on(browser_, &QTextBrowser::sourceChanged, [this](const QUrl &source) {
        const QString current = QFileInfo(source.path()).completeBaseName();
        for (int i = 0; i < contents_->count(); ++i)
            if (contents_->item(i)->data(Qt::UserRole).toString() == current) {
                QSignalBlocker block(contents_);
                contents_->setCurrentRow(i);
            }
    });
    showPage(QStringLiteral("index"));
}

void Thelp::showPage(const QString &name)
{
    browser_->setSource(pageUrl(name));
}

QString Thelp::page() const
{
    return QFileInfo(browser_->source().path()).completeBaseName();
}

namespace help {

QString helpFile(const Context &context)
{
    return QDir(context.folder()).filePath(QStringLiteral("tolvahelp.chm"));
}

QDialog *openHelp(Context &context, QWidget *parent, DesktopSeam &desktop)
{
    const QString file = helpFile(context);
    const QString shown = QDir::toNativeSeparators(file);
    if (!QFileInfo::exists(file))
        return new Thelp(context, QStringLiteral("没有找到帮助文件 %1，下面是程序内置的帮助。").arg(shown), parent);
    if (!desktop.openDocument(file))
        return new Thelp(context, QStringLiteral("这台电脑没有能打开帮助文件 %1 的程序，下面是程序内置的帮助。").arg(shown),
                         parent);
    return nullptr;
}

QDialog *openHelp(Context &context, QWidget *parent)
{
    DesktopSeam desktop;
    return openHelp(context, parent, desktop);
}

} // namespace help
} // namespace tolva
