#include "context.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QWidget>

namespace tolva {

QStringList InputMethods::installed() const
{
    return {};
}

void InputMethods::assign(QWidget *field, const QString &name)
{
    field->setProperty("inputMethod", name == none() ? QString() : name);
}

Context::Context(Store &store, Interaction &interaction, QObject *parent)
    : QObject(parent), store_(store), interaction_(interaction), settings_(std::make_unique<Dataset>(store)),
      titles_(std::make_unique<Dataset>(store)), currentUser_(std::make_unique<Dataset>(store)),
      inputMethods_(std::make_unique<InputMethods>())
{
    reopenSettings();
    titles_->open(QStringLiteral("select * from dwm"));
}

Context::~Context() = default;

void Context::setClock(std::function<QDateTime()> clock)
{
    clock_ = std::move(clock);
    // The change log's times come from the same clock.
    store_.setClock(clock_);
}

void Context::setUserName(const QString &name)
{
    userName_ = name;
    store_.setLogUser(name);
}

void Context::setPreviewWindow(std::unique_ptr<QWidget> window)
{
    preview_ = std::move(window);
}

void Context::reopenSettings()
{
    settings_->close();
    settings_->open(QStringLiteral("select * from srf"));
}

Rights Context::rights() const
{
    if (!currentUser_->isOpen() || currentUser_->isEmpty() || currentUser_->currentRow() < 0 ||
        !currentUser_->hasField(QStringLiteral("popedoma")))
        return Rights();
    return Rights(currentUser_->text(QStringLiteral("popedoma")));
}

void Context::setStatus(const StatusTexts &status)
{
    status_ = status;
    Q_EMIT statusChanged(status_);
}

void Context::applyInputMethod(std::initializer_list<QWidget *> fields) const
{
    const QString name = settings_->isEmpty() ? InputMethods::none() : settings_->text(QStringLiteral("srf"));
    for (QWidget *field : fields)
        inputMethods_->assign(field, name);
}

void Context::applyInputMethod(QWidget *field, const QString &name) const
{
    inputMethods_->assign(field, name);
}

QString Context::programFileName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName().trimmed();
}

} // namespace tolva
