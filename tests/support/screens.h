#pragma once

#include "fixture.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cmath>

namespace tolva {

// Types any text, Chinese included, one key event per character.
inline void typeText(QWidget *w, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Where Tab takes the focus, from `start` on: the names of the controls, `start` first.
inline QStringList tabOrder(QWidget *start, int steps)
{
    start->setFocus(Qt::TabFocusReason);
    QStringList out{start->objectName()};
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        out << QApplication::focusWidget()->objectName();
    }
    return out;
}

// Chooses an entry of a list from its drop-down with the mouse.
inline void chooseWithMouse(QComboBox *list, int index)
{
    list->showPopup();
    QAbstractItemView *view = list->view();
    const QRect r = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, r.center());
}

// The first column of a query's rows, as texts.
inline QStringList column(Store &store, const QString &sql)
{
    QStringList out;
    for (const auto &row : store.select(sql).rows)
        out << row[0].toString();
    return out;
}

// A stored value as text, a real number written the one way on every engine: a whole one keeps
// its ".0" (4.0, -6.0), null is empty.
inline QString storedText(const QVariant &v)
{
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 1e15)
            return QString::number(d, 'f', 1);
        return QString::number(d, 'g', 15);
    }
    return v.toString();
}

// Each row of a query, its columns' texts joined by `separator`.
inline QStringList joinedRows(Store &store, const QString &sql, const QString &separator = QStringLiteral(" "))
{
    QStringList out;
    for (const auto &row : store.select(sql).rows) {
        QStringList texts;
        for (const QVariant &v : row)
            texts << storedText(v);
        out << texts.join(separator);
    }
    return out;
}

// The first row of joinedRows(), or an empty text when there is none.
inline QString joinedRow(Store &store, const QString &sql, const QString &separator = QStringLiteral(" "))
{
    const QStringList rows = joinedRows(store, sql, separator);
    return rows.isEmpty() ? QString() : rows.first();
}

// A screen shown over a fixture, driven by its controls' names.
template <class Screen> struct Open {
    Fixture &f;
    Screen screen;
    explicit Open(Fixture &fixture) : f(fixture), screen(*fixture.context) { screen.show(); }
    QPushButton *button(const char *name) { return screen.template findChild<QPushButton *>(name); }
    QLineEdit *field(const char *name) { return screen.template findChild<QLineEdit *>(name); }
    QDateEdit *date(const char *name) { return screen.template findChild<QDateEdit *>(name); }
    void click(const char *name) { button(name)->click(); }
    // Replaces a field's text as a person would: select all, delete, type.
    void set(const char *name, const QString &text)
    {
        QLineEdit *e = field(name);
        e->setFocus();
        e->selectAll();
        e->del();
        e->insert(text);
    }
};

} // namespace tolva
