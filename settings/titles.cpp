#include "titles.h"
#include "ui_titles.h"

#include "settingsrules.h"
#include "widgets/context.h"

namespace tolva {

Tdwm::Tdwm(Context &context, QWidget *parent) : Screen(context, parent), ui(std::make_unique<Ui::Tdwm>())
{
    ui->setupUi(this);
    // Once per opening: what was typed stays while a message comes and goes.
    setUpFrame(nullptr, false, Closing::ExitButtonOnly, Activation::OncePerOpening);
    const QList<QPair<DbEdit *, QString>> fields = {
        {ui->DBEdit_A1, "A1"},   {ui->DBEdit_A6, "A6"},   {ui->DBEdit_A2, "A2"},   {ui->DBEdit_A3, "A3"},
        {ui->DBEdit_A4, "A4"},   {ui->DBEdit_A5, "A5"},   {ui->DBEdit_A8, "A8"},   {ui->DBEdit_A9, "A9"},
        {ui->DBEdit_Sp2, "Sp2"}, {ui->DBEdit_Sp3, "Sp3"}, {ui->DBEdit_Sp4, "Sp4"}, {ui->DBEdit_Sp1, "Sp1"}};
    QList<QWidget *> chain;
    for (const auto &[field, column] : fields) {
        field->bind(&context.titles(), column);
        chain << field;
    }
    enterChain(chain);
    on(ui->BitBtn1, &QPushButton::clicked, &Tdwm::BitBtn1Click);
    guard([this] { reopen(); });
}

Tdwm::~Tdwm() = default;

void Tdwm::reopen()
{
    Dataset &titles = context().titles();
    if (titles.isEditing())
        titles.cancel();
    titles.close();
    titles.open(QStringLiteral("select * from dwm"));
}

void Tdwm::FormActivate()
{
    reopen();
    // Typing edits the row in place; without the right to change settings the fields stay
    // read-only, as they are while the row only browses.
    if (!context().titles().isEmpty() && mayChangeSettings())
        context().titles().edit();
    context().applyInputMethod({ui->DBEdit_A1, ui->DBEdit_A2, ui->DBEdit_A3, ui->DBEdit_A4, ui->DBEdit_A5,
                                ui->DBEdit_A8, ui->DBEdit_A9, ui->DBEdit_Sp2, ui->DBEdit_Sp3, ui->DBEdit_Sp4,
                                ui->DBEdit_A6});
    ui->DBEdit_A1->setFocus();
}

void Tdwm::BitBtn1Click()
{
    // "确定(&Y)" is the window's only way out: without the right it just closes.
    if (mayChangeSettings() && !accepted(settings::saveTitles(context().rights(), context().titles())))
        return;
    reopen();
    accept();
}

} // namespace tolva
