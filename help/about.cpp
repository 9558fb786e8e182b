#include "about.h"
#include "ui_about.h"

#include "desktopseam.h"

#include "widgets/context.h"

namespace tolva {

Tsbabout::Tsbabout(Context &context, QWidget *parent)
    : Screen(context, parent), ui(std::make_unique<Ui::Tsbabout>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tsbabout"));
    setUpFrame(nullptr, false);
    setFixedSize(size());

    ui->Image1->setPixmap(QPixmap(QStringLiteral(":/help/about.jpg")));
    on(ui->Image1, &PictureLabel::clicked, &QDialog::accept);

    QFont title = ui->Label1->font();
    title.setPointSize(14);
    title.setBold(true);
    ui->Label1->setFont(title);
    ui->Label1->setText(productTitle() + QStringLiteral("   ") + version());
    ui->Label1->setShadow(QColor(128, 128, 128), QPoint(2, 1));

    ui->Label3->setText(Context::webAddress());
    ui->Label5->setText(Context::mailAddress());
    // The links show as the update window shows its own: blue, red and underlined under the mouse.
    placeLink(ui->Label11, ui->Label12);
    placeLink(ui->Label13, ui->Label14);

    Interaction &desktop = context.interaction();
    for (LinkLabel *home : {ui->Label3, ui->Label12})
        on(home, &LinkLabel::clicked, [&desktop] { desktop.open(help::homePage()); });
    for (LinkLabel *mail : {ui->Label5, ui->Label14})
        on(mail, &LinkLabel::clicked, [&desktop] { desktop.open(help::mailTo()); });
}

Tsbabout::~Tsbabout() = default;

} // namespace tolva
