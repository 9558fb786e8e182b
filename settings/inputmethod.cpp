#include "inputmethod.h"
#include "ui_inputmethod.h"

#include "settingsrules.h"
#include "widgets/context.h"

namespace tolva {

Tsrf::Tsrf(Context &context, QWidget *parent) : Screen(context, parent), ui(std::make_unique<Ui::Tsrf>()), query1_(context.store())
{
    ui->setupUi(this);
    // Once per opening: asking the desktop again after a message would lose the choice.
    setUpFrame(nullptr, false, Closing::Free, Activation::OncePerOpening);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    ui->ComboBox1->setEditable(false);
    on(ui->btn_yes, &QPushButton::clicked, &Tsrf::btn_yesClick);
    on(ui->btn_exit, &QPushButton::clicked, &QDialog::reject);
    on(this, &QDialog::finished, [this] { query1_.close(); });
}

Tsrf::~Tsrf() = default;

void Tsrf::FormActivate()
{
    query1_.close();
    query1_.open(QStringLiteral("select * from srf"));
    const QStringList installed = context().inputMethods().installed();
    ui->ComboBox1->clear();
    ui->ComboBox1->addItems(installed);
    ui->ComboBox1->addItem(InputMethods::none());
    const QString stored = query1_.isEmpty() ? QString() : query1_.text(QStringLiteral("srf"));
    ui->ComboBox1->setCurrentIndex(settings::inputMethodIndex(installed, stored));
    // The input method is stored for every user of the program: "查询" reads it only.
    ui->ComboBox1->setEnabled(mayChangeSettings());
    ui->btn_yes->setVisible(mayChangeSettings());
}

void Tsrf::btn_yesClick()
{
    if (!accepted(settings::chooseInputMethod(context().rights(), query1_, ui->ComboBox1->currentText()),
                  ui->ComboBox1))
        return;
    context().reopenSettings();
    accept();
}

} // namespace tolva
