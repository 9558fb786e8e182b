#include "dbfields.h"

#include "store/format.h"

namespace tolva {

namespace {

template <class Refresh>
QList<QMetaObject::Connection> follow(QObject *receiver, Dataset *dataset, Refresh refresh)
{
    return {QObject::connect(dataset, &Dataset::currentChanged, receiver, refresh),
            QObject::connect(dataset, &Dataset::rowChanged, receiver, refresh),
            QObject::connect(dataset, &Dataset::reset, receiver, refresh),
            QObject::connect(dataset, &Dataset::stateChanged, receiver, refresh)};
}

void disconnectAll(QList<QMetaObject::Connection> &connections)
{
    for (const auto &c : connections)
        QObject::disconnect(c);
    connections.clear();
}

} // namespace

QValidator::State GbkLengthValidator::validate(QString &input, int &) const
{
    return Store::gbkLength(input) <= bytes_ ? Acceptable : Invalid;
}

DbEdit::DbEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &DbEdit::write);
}

void DbEdit::bind(Dataset *dataset, const QString &field, const QString &format)
{
    disconnectAll(connections_);
    dataset_ = dataset;
    field_ = field;
    format_ = format;
    setValidator(nullptr);
    if (dataset_) {
        connections_ = follow(this, dataset_, [this] { refresh(); });
        if (dataset_->isLive()) {
            if (const ColumnInfo *c = dataset_->store().column(dataset_->table(), field_);
                c && c->type == ColumnType::Text && c->capacity > 0)
                setValidator(new GbkLengthValidator(c->capacity, this));
        }
    }
    refresh();
}

QString DbEdit::plain() const
{
    if (!dataset_ || !dataset_->isOpen() || dataset_->currentRow() < 0 || !dataset_->hasField(field_))
        return QString();
    const QVariant v = dataset_->value(field_);
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(Qt::ISODate);
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

void DbEdit::refresh()
{
    const bool editing = dataset_ && dataset_->isEditing();
    setReadOnly(!editing);
    if (writing_ || (hasFocus() && editing))
        return; // do not disturb what is being typed
    QString shown = plain();
    if (!hasFocus() && !format_.isEmpty() && dataset_ && dataset_->currentRow() >= 0 && dataset_->hasField(field_)) {
        const QVariant v = dataset_->value(field_);
        if (v.typeId() == QMetaType::QDate)
            shown = format::date(v.toDate(), format_);
        else if (!v.isNull())
            shown = format::number(v, format_);
    }
    if (text() != shown)
        setText(shown);
}

void DbEdit::write(const QString &text)
{
    if (!dataset_ || !dataset_->isEditing())
        return;
    writing_ = true;
    try {
        dataset_->setValue(field_, text.isEmpty() ? QVariant() : QVariant(text));
    } catch (const StoreError &) {
        // A number or date still being typed ("-", "2004-0"): the row keeps its last value.
    }
    writing_ = false;
}

void DbEdit::focusInEvent(QFocusEvent *event)
{
    if (!(dataset_ && dataset_->isEditing()))
        setText(plain());
    else if (!format_.isEmpty())
        setText(plain());
    QLineEdit::focusInEvent(event);
}

void DbEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    refresh();
}

DbComboBox::DbComboBox(QWidget *parent) : QComboBox(parent)
{
    connect(this, &QComboBox::textActivated, this, [this](const QString &text) {
        if (dataset_ && dataset_->isEditing())
            dataset_->setValue(field_, text);
    });
}

void DbComboBox::bind(Dataset *dataset, const QString &field)
{
    disconnectAll(connections_);
    dataset_ = dataset;
    field_ = field;
    if (dataset_)
        connections_ = follow(this, dataset_, [this] { refresh(); });
    refresh();
}

void DbComboBox::refresh()
{
    const bool ready = dataset_ && dataset_->isOpen() && dataset_->currentRow() >= 0 && dataset_->hasField(field_);
    setEnabled(dataset_ && dataset_->isEditing());
    const QString value = ready ? dataset_->text(field_) : QString();
    const int i = findText(value);
    if (i >= 0)
        setCurrentIndex(i);
    else if (isEditable())
        setEditText(value);
    else
        setCurrentIndex(-1);
}

DbDateEdit::DbDateEdit(QWidget *parent) : QDateEdit(parent)
{
    setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    setCalendarPopup(true);
    connect(this, &QDateEdit::dateChanged, this, [this](const QDate &date) {
        if (!refreshing_ && dataset_ && dataset_->isEditing())
            dataset_->setValue(field_, date);
    });
}

void DbDateEdit::bind(Dataset *dataset, const QString &field)
{
    disconnectAll(connections_);
    dataset_ = dataset;
    field_ = field;
    if (dataset_)
        connections_ = follow(this, dataset_, [this] { refresh(); });
    refresh();
}

void DbDateEdit::refresh()
{
    refreshing_ = true;
    const bool ready = dataset_ && dataset_->isOpen() && dataset_->currentRow() >= 0 && dataset_->hasField(field_);
    setReadOnly(!(dataset_ && dataset_->isEditing()));
    const QDate d = ready ? dataset_->date(field_) : QDate();
    setDate(d.isValid() ? d : minimumDate());
    refreshing_ = false;
}

} // namespace tolva
