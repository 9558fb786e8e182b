#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QDialog;
class QUrl;
class QWidget;

namespace tolva {

// Every place where the program waits for a person goes through here: messages, confirmations,
// file dialogs and modal windows. The desktop version shows Qt dialogs; tests script the answers.
class Interaction {
public:
    static QString caption() { return QStringLiteral("提醒您!!"); }

    virtual ~Interaction() = default;
    // A message with an OK button.
    virtual void message(QWidget *parent, const QString &text, const QString &title = caption()) = 0;
    // An error of the table store: the failing statement's message; the action stops.
    virtual void error(QWidget *parent, const QString &text) = 0;
    // OK and Cancel with the information icon; true only for OK.
    virtual bool confirm(QWidget *parent, const QString &text, const QString &title = caption()) = 0;
    // A file to open or to save; empty when the person cancels.
    virtual QString openFileName(QWidget *parent, const QString &title, const QString &folder,
                                 const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &title, const QString &file,
                                 const QString &filter) = 0;
    // Shows a window modally and returns its result.
    virtual int exec(QDialog *dialog) = 0;
    // Hands a document, a web or a mail address to the desktop's default program.
    virtual void open(const QUrl &url) = 0;
};

// The desktop's own dialogs. The file dialogs never open a file to tell its type or icon (the
// desktop's provider reads a file's first bytes, and opening and closing the ledger or its journals
// in this process drops the store's locks on them), and hide the data folder's own files; every
// other file dialog of the program (Qt's print dialog has one) gets the same icons while an
// instance of this class lives.
class DesktopInteraction : public Interaction {
public:
    explicit DesktopInteraction(const QString &dataFolder = QString());
    ~DesktopInteraction() override;
    DesktopInteraction(const DesktopInteraction &) = delete;
    DesktopInteraction &operator=(const DesktopInteraction &) = delete;

    void message(QWidget *parent, const QString &text, const QString &title) override;
    void error(QWidget *parent, const QString &text) override;
    bool confirm(QWidget *parent, const QString &text, const QString &title) override;
    QString openFileName(QWidget *parent, const QString &title, const QString &folder,
                         const QString &filter) override;
    QString saveFileName(QWidget *parent, const QString &title, const QString &file,
                         const QString &filter) override;
    int exec(QDialog *dialog) override;
    void open(const QUrl &url) override;

private:
    QString fileName(QWidget *parent, const QString &title, const QString &start, const QString &filter,
                     bool save);

    struct Guard;
    std::unique_ptr<Guard> guard_;
};

} // namespace tolva
