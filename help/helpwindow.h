#pragma once

#include "widgets/screen.h"

class QLabel;
class QListWidget;
class QTextBrowser;

namespace tolva {

namespace help {
class DesktopSeam;
}

// The help built into the program: one page per menu item and a page on the three calculation
// methods, shown when the help file cannot be opened.
class Thelp : public Screen {
    Q_OBJECT
public:
    // `note` says why the built-in help is shown (empty: nothing to say).
    explicit Thelp(Context &context, const QString &note = QString(), QWidget *parent = nullptr);
    // Shows the page of a menu item ("N14"), or the contents ("index").
    void showPage(const QString &name);
    QString page() const;

private:
    QListWidget *contents_;
    QTextBrowser *browser_;
    QLabel *note_;
};

namespace help {

// The help file, "tolvahelp.chm" of the working folder.
QString helpFile(const Context &context);

// "(&1)帮助信息": the help file goes to the desktop's viewer; when it is missing or no viewer takes
// it, the built-in help window is returned for the menu to show (null when the viewer has it).
QDialog *openHelp(Context &context, QWidget *parent, DesktopSeam &desktop);
QDialog *openHelp(Context &context, QWidget *parent);

} // namespace help
} // namespace tolva
