#include "dbfields.h"

#include "store/format.h"

namespace tolva {

void FieldLink::bind(QObject *owner, Dataset *dataset, const QString &field, const std::function<void()> &refresh)
{
    for (const auto &c : connections_)
        QObject::disconnect(c);
    connections_.clear();
    dataset_ = dataset;
    field_ = field;
    if (dataset_)
        connections_ = {QObject::connect(dataset_, &Dataset::currentChanged, owner, refresh),
                        QObject::connect(dataset_, &Dataset::rowChanged, owner, refresh),
                        QObject::connect(dataset_, &Dataset::reset, owner, refresh),
                        QObject::connect(dataset_, &Dataset::stateChanged, owner, refresh)};
    refresh();
}

bool FieldLink::ready() const
{
    return dataset_ && dataset_->isOpen() && dataset_->currentRow() >= 0 && dataset_->hasField(field_);
}

void FieldLink::write(const QVariant &value) const
{
    if (editing())
        dataset_->setValue(field_, value);
}

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
    format_ = format;
    limited_ = false;
    setValidator(nullptr);
    link_.bind(this, dataset, field, [this] { refresh(); });
}

// Screens bind their fields before the result set is opened, so the column's capacity is looked
// up once the set is live.
void DbEdit::limitToCapacity()
{
    Dataset *dataset = link_.dataset();
    if (limited_ || !dataset || !dataset->isOpen() || !dataset->isLive())
        return;
    limited_ = true;
    if (const ColumnInfo *c = dataset->store().column(dataset->table(), link_.field());
        c && c->type == ColumnType::Text && c->capacity > 0)
        setValidator(new GbkLengthValidator(c->capacity, this));
}

QString DbEdit::plain() const
{
    const QVariant v = link_.value();
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
    limitToCapacity();
    const bool editing = link_.editing();
    setReadOnly(!editing);
    if (!editing)
        rejection_.clear();
    // Do not disturb what is being typed, nor a typed text the row refused (the save will say why).
    if (writing_ || (editing && (hasFocus() || !rejection_.isEmpty())))
        return;
    QString shown = plain();
    if (!hasFocus() && !format_.isEmpty() && link_.ready()) {
        const QVariant v = link_.value();
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
    if (!link_.editing())
        return;
    writing_ = true;
    try {
        link_.write(text.isEmpty() ? QVariant() : QVariant(text));
        rejection_.clear();
    } catch (const StoreError &e) {
        // A number or date still being typed ("-", "2004-0"): the row keeps its last value, and
        // a save is refused while the text stays like this.
        rejection_ = e.message();
    }
    writing_ = false;
}

void DbEdit::focusInEvent(QFocusEvent *event)
{
    const QVariant v = link_.value();
    const bool refused = link_.editing() && !rejection_.isEmpty();
    // A text the row refused stays as typed, for the clerk to mend. A zero about to be typed over
    // shows empty, so "-100" does not become "0-100" or "0100".
    if (!refused) {
        if (link_.editing() && v.typeId() == QMetaType::Double && v.toDouble() == 0)
            setText(QString());
        else if (!link_.editing() || !format_.isEmpty())
            setText(plain());
    }
    QLineEdit::focusInEvent(event);
}

void DbEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    refresh();
}

DbComboBox::DbComboBox(QWidget *parent) : QComboBox(parent)
{
    connect(this, &QComboBox::textActivated, this, [this](const QString &text) { link_.write(text); });
}

void DbComboBox::bind(Dataset *dataset, const QString &field)
{
    link_.bind(this, dataset, field, [this] { refresh(); });
}

void DbComboBox::refresh()
{
    setEnabled(link_.editing());
    const QString value = link_.value().toString();
    const int i = findText(value);
    if (i >= 0)
        setCurrentIndex(i);
    else if (isEditable())
        setEditText(value);
    else
        setCurrentIndex(-1);
}

DbDateEdit::DbDateEdit(QWidget *parent) : DateField(parent)
{
    setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    setCalendarPopup(true);
    connect(this, &QDateEdit::dateChanged, this, [this](const QDate &date) {
        if (!refreshing_)
            link_.write(date);
    });
}

void DbDateEdit::bind(Dataset *dataset, const QString &field)
{
    link_.bind(this, dataset, field, [this] { refresh(); });
}

void DbDateEdit::refresh()
{
    refreshing_ = true;
    setReadOnly(!link_.editing());
    const QDate d = link_.ready() ? link_.dataset()->date(link_.field()) : QDate();
    setDate(d.isValid() ? d : minimumDate());
    refreshing_ = false;
}

} // namespace tolva
