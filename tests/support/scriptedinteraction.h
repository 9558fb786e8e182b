#pragma once

#include "widgets/interaction.h"

#include <QHash>
#include <QList>
#include <QUrl>
#include <QVariant>

#include <functional>

namespace tolva {

// The test Interaction: keeps a log of every prompt (kind, caption, text), answers confirmations
// and file dialogs from a queue, runs a modal window's test steps instead of blocking, and fails
// the running test, rather than hanging, when a prompt comes that it has no answer for.
class ScriptedInteraction : public Interaction {
public:
    struct Prompt {
        QString kind; // "message", "error", "confirm", "open", "save", "modal"
        QString caption;
        QString text;
    };

    QList<Prompt> log;
    QList<QVariant> answers;                                    // bool for confirm, QString for files
    QHash<QString, std::function<int(QDialog *)>> windows;      // steps by the window's objectName
    QList<QUrl> opened;

    void message(QWidget *parent, const QString &text, const QString &title) override;
    void error(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text, const QString &title) override;
    QString openFileName(QWidget *parent, const QString &title, const QString &folder,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &title, const QString &file,
                         const QString &filter) override;
    int exec(QDialog *dialog) override;
    void open(const QUrl &url) override;

    // The texts of the prompts of one kind (all kinds when empty), in order.
    QStringList texts(const QString &kind = QString()) const;
    void clear() { log.clear(); }

private:
    QVariant next(const QString &kind, const QString &text);
};

} // namespace tolva
