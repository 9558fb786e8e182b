#pragma once

#include "datefield.h"
#include "store/dataset.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

#include <functional>

namespace tolva {

// The tie of a data-aware control to one field of a dataset: it calls `refresh` whenever the
// current row, its values, the rows or the dataset's state change.
class FieldLink {
public:
    void bind(QObject *owner, Dataset *dataset, const QString &field, const std::function<void()> &refresh);
    Dataset *dataset() const { return dataset_; }
    const QString &field() const { return field_; }
    // The dataset is open on a row that has the field.
    bool ready() const;
    bool editing() const { return dataset_ && dataset_->isEditing(); }
    QVariant value() const { return ready() ? dataset_->value(field_) : QVariant(); }
    void write(const QVariant &value) const;

private:
    // Guarded: a screen's result sets end before the controls its dialog deletes last, and a
    // control that gets the focus meanwhile must find no dataset rather than a destroyed one.
    QPointer<Dataset> dataset_;
    QString field_;
    QList<QMetaObject::Connection> connections_;
};

// A line edit that shows a field of its dataset's current row and, while the dataset edits or
// inserts, writes what is typed into it. Without the focus it shows the field's display pattern;
// with the focus, the plain value. It is read-only while the dataset only browses, and stops
// accepting input at the column's capacity in GBK bytes.
class DbEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DbEdit(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field, const QString &format = QString());
    QString field() const { return link_.field(); }
    // Why the text being typed could not be written into the row ("abc" in a number field, a
    // number out of range); empty when the row holds what the field shows.
    const QString &rejection() const { return rejection_; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void refresh();
    void write(const QString &text);
    void limitToCapacity();
    QString plain() const;
    FieldLink link_;
    QString format_;
    QString rejection_;
    bool writing_ = false;
    bool limited_ = false;
};

// A drop-down list bound to a text field: choosing an entry writes it while the dataset edits.
class DbComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DbComboBox(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field);

private:
    void refresh();
    FieldLink link_;
};

// A date picker bound to a date field; it shows yyyy-mm-dd.
class DbDateEdit : public DateField {
    Q_OBJECT
public:
    explicit DbDateEdit(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field);

private:
    void refresh();
    FieldLink link_;
    bool refreshing_ = false;
};

// Refuses a text longer than a number of GBK bytes.
class GbkLengthValidator : public QValidator {
    Q_OBJECT
public:
    GbkLengthValidator(int bytes, QObject *parent) : QValidator(parent), bytes_(bytes) {}
    State validate(QString &input, int &pos) const override;

private:
    int bytes_;
};

} // namespace tolva
