#include "about.h"
#include "ui_about.h"

#include "shell.h"

#include "widgets/context.h"

namespace tolva {

Tsbabout::Tsbabout(Context &context, QWidget *parent) : Screen(context, parent), ui(std::make_unique<Ui::Tsbabout>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tsbabout"));
    setUpFrame(nullptr, false);
    setFixedSize(size());

    ui->Image1->setPixmap(QPixmap(QStringLiteral(":/help/about.jpg")));
    connect(ui->Image1, &PictureLabel::clicked, this, &QDialog::accept);

    QFont title = ui->Label1->font();
    title.setPointSize(14);
    title.setBold(true);
    ui->Label1->setFont(title);
    ui->Label1->setText(productTitle() + QStringLiteral("   ") + version());
    ui->Label1->setShadow(QColor(128, 128, 128), QPoint(2, 1));

    ui->Label3->setText(Context::webAddress());
    ui->Label5->setText(Context::mailAddress());
    for (LinkLabel *link : {ui->Label3, ui->Label5, ui->Label12, ui->Label14}) {
        link->setNormalColor(Qt::black);
        link->adjustSize();
    }
    // Only the two addresses also turn bold and underlined under the mouse.
    ui->Label12->setHoverEmphasis(false);
    ui->Label14->setHoverEmphasis(false);
    const QFontMetrics fm(ui->Label11->font());
    ui->Label12->move(ui->Label11->x() + fm.horizontalAdvance(QStringLiteral("有关软件升级等信息请")) + 2, ui->Label11->y());
    ui->Label14->move(ui->Label13->x() + fm.horizontalAdvance(ui->Label13->text()) + 2, ui->Label13->y());

    for (LinkLabel *home : {ui->Label3, ui->Label12})
        connect(home, &LinkLabel::clicked, this, [this] { this->context().interaction().open(help::homePage()); });
    for (LinkLabel *mail : {ui->Label5, ui->Label14})
        connect(mail, &LinkLabel::clicked, this, [this] { this->context().interaction().open(help::mailTo()); });
}

Tsbabout::~Tsbabout() = default;

} // namespace tolva
