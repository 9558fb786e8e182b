#pragma once

#include "store/dataset.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>

namespace tolva {

// A line edit that shows a field of its dataset's current row and, while the dataset edits or
// inserts, writes what is typed into it. Without the focus it shows the field's display pattern;
// with the focus, the plain value. It is read-only while the dataset only browses, and stops
// accepting input at the column's capacity in GBK bytes.
class DbEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DbEdit(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field, const QString &format = QString());
    QString field() const { return field_; }

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void refresh();
    void write(const QString &text);
    QString plain() const;
    Dataset *dataset_ = nullptr;
    QString field_, format_;
    bool writing_ = false;
    QList<QMetaObject::Connection> connections_;
};

// A drop-down list bound to a text field: choosing an entry writes it while the dataset edits.
class DbComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DbComboBox(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field);

private:
    void refresh();
    Dataset *dataset_ = nullptr;
    QString field_;
    QList<QMetaObject::Connection> connections_;
};

// A date picker bound to a date field; it shows yyyy-mm-dd.
class DbDateEdit : public QDateEdit {
    Q_OBJECT
public:
    explicit DbDateEdit(QWidget *parent = nullptr);
    void bind(Dataset *dataset, const QString &field);

private:
    void refresh();
    Dataset *dataset_ = nullptr;
    QString field_;
    bool refreshing_ = false;
    QList<QMetaObject::Connection> connections_;
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
