#pragma once

#include "interaction.h"
#include "base/rights.h"
#include "store/dataset.h"
#include "store/store.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>

class QWidget;

namespace tolva {

// The desktop's input methods: the list offered in the settings and the switch of a field to one.
class InputMethods {
public:
    static QString none() { return QStringLiteral("不使用自动开启输入法"); }
    virtual ~InputMethods() = default;
    virtual QStringList installed() const;
    // Gives `field` the input method `name`, which the desktop switches to when the field gets the
    // focus; none() switches nothing. The name is kept on the field as the property "inputMethod".
    virtual void assign(QWidget *field, const QString &name);
};

// The three texts of the main menu's status bar, which the data screens copy into their own.
struct StatusTexts {
    QString user, fixed, clock;
};

// The state that lives for the whole run, handed to every screen: the store, the settings and
// titles result sets, the current user, the status texts, the clock and the seams to the desktop.
class Context : public QObject {
    Q_OBJECT
public:
    Context(Store &store, Interaction &interaction, QObject *parent = nullptr);
    ~Context() override;
    Q_DISABLE_COPY(Context)

    Store &store() const { return store_; }
    Interaction &interaction() const { return interaction_; }
    QString folder() const { return store_.folder(); }

    // "select * from srf", live: the single settings row.
    Dataset &settings() const { return *settings_; }
    void reopenSettings();
    // "select * from dwm", live: company name and print titles.
    Dataset &titles() const { return *titles_; }
    // The logged-in user's sbpass row; no row after a failed attempt.
    Dataset &currentUser() const { return *currentUser_; }

    QString userName() const { return userName_; }
    // The user the change log names from now on.
    void setUserName(const QString &name);
    // What the current user's right allows (nothing after a failed change of user), read when a
    // screen is activated: "录入" changes data; "录入" and "管理" change the settings that change
    // figures or prints; "管理" administers users and backups.
    Rights rights() const;
    bool mayEdit() const { return rights().mayEdit(); }
    bool mayChangeSettings() const { return rights().mayChangeSettings(); }
    bool mayAdminister() const { return rights().mayAdminister(); }

    StatusTexts status() const { return status_; }
    void setStatus(const StatusTexts &status);

    // "Now" and "today" come from here, never from the system directly, so tests can fix them.
    void setClock(std::function<QDateTime()> clock);
    QDateTime now() const { return clock_ ? clock_() : QDateTime::currentDateTime(); }
    QDate today() const { return now().date(); }

    InputMethods &inputMethods() const { return *inputMethods_; }
    void setInputMethods(std::unique_ptr<InputMethods> methods) { inputMethods_ = std::move(methods); }
    // Gives each field the input method chosen in the settings (srf.srf).
    void applyInputMethod(std::initializer_list<QWidget *> fields) const;
    void applyInputMethod(QWidget *field, const QString &name) const;

    // The password of a new user, stated on the login window.
    static QString defaultPassword() { return QStringLiteral("1"); }

    // The preview window that every print action shares; the context owns it.
    QWidget *previewWindow() const { return preview_.get(); }
    void setPreviewWindow(std::unique_ptr<QWidget> window);

    // The program's file name without folder, as written into srf.qhsoftnow.
    static QString programFileName();
    // The maker's addresses, shown in captions and the status bar.
    static QString webAddress() { return QStringLiteral("https://www.example.com/"); }
    static QString mailAddress() { return QStringLiteral("service@example.com"); }

Q_SIGNALS:
    void statusChanged(const tolva::StatusTexts &status);

private:
    Store &store_;
    Interaction &interaction_;
    std::unique_ptr<Dataset> settings_, titles_, currentUser_;
    std::unique_ptr<InputMethods> inputMethods_;
    std::unique_ptr<QWidget> preview_;
    std::function<QDateTime()> clock_;
    QString userName_;
    StatusTexts status_;
};

} // namespace tolva
