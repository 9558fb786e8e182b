#include "scriptedinteraction.h"

#include <QDialog>
#include <QtTest>

namespace tolva {

QVariant ScriptedInteraction::next(const QString &kind, const QString &text)
{
    if (answers.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("no answer scripted for %1: %2").arg(kind, text)), __FILE__, __LINE__);
        return QVariant();
    }
    return answers.takeFirst();
}

void ScriptedInteraction::message(QWidget *, const QString &text, const QString &title)
{
    log << Prompt{QStringLiteral("message"), title, text};
}

void ScriptedInteraction::error(QWidget *, const QString &text)
{
    log << Prompt{QStringLiteral("error"), caption(), text};
}

bool ScriptedInteraction::confirm(QWidget *, const QString &text, const QString &title)
{
    log << Prompt{QStringLiteral("confirm"), title, text};
    return next(QStringLiteral("confirm"), text).toBool();
}

QString ScriptedInteraction::openFileName(QWidget *, const QString &title, const QString &, const QString &)
{
    log << Prompt{QStringLiteral("open"), title, QString()};
    return next(QStringLiteral("open"), title).toString();
}

QString ScriptedInteraction::saveFileName(QWidget *, const QString &title, const QString &file, const QString &)
{
    log << Prompt{QStringLiteral("save"), title, file}; // the file name proposed
    return next(QStringLiteral("save"), title).toString();
}

int ScriptedInteraction::exec(QDialog *dialog)
{
    log << Prompt{QStringLiteral("modal"), dialog->windowTitle(), dialog->objectName()};
    const auto steps = windows.value(dialog->objectName());
    if (!steps) {
        QTest::qFail(qPrintable(QStringLiteral("no steps scripted for window %1").arg(dialog->objectName())), __FILE__,
                     __LINE__);
        return QDialog::Rejected;
    }
    dialog->show();
    const int result = steps(dialog);
    dialog->hide();
    return result;
}

void ScriptedInteraction::open(const QUrl &url)
{
    opened << url;
}

QStringList ScriptedInteraction::texts(const QString &kind) const
{
    QStringList out;
    for (const Prompt &p : log)
        if (kind.isEmpty() || p.kind == kind)
            out << p.text;
    return out;
}

} // namespace tolva
