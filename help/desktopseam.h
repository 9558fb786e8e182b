#pragma once

#include <QString>
#include <QUrl>

namespace tolva::help {

// The maker's download folder, always ending in "/": TOLVA_DOWNLOAD_URL when set (a yard's own
// mirror, tests), otherwise the folder "qhfile/" of the maker's web site.
QUrl downloadFolder();
// The address of a file F of the download folder.
QUrl downloadUrl(const QString &file);
// The maker's home page and a new mail to the maker.
QUrl homePage();
QUrl mailTo();

// False when the desktop's file associations name no program for the file. xdg-open finds that
// out only after it started, where nobody hears it, so the question is asked first; desktops
// without such a list answer true and leave it to the opening.
bool viewerKnown(const QString &file);

// The desktop and process seam: where the help windows reach the desktop (a document viewer) and
// other processes (a program started beside this one, found running, or started as this one ends).
// The desktop's own by default; tests replace the parts that would leave the test (a document
// viewer, the end of the program).
class DesktopSeam {
public:
    virtual ~DesktopSeam() = default;
    // True when the system's package manager installed the program (a build made for it) and keeps
    // it up to date; the program's own folder then belongs to the system.
    virtual bool packageManaged() const;
    // The folder of the running program file: downloads are unpacked and started there. Where the
    // package manager owns that folder, the user's own folder for the program's data instead.
    virtual QString programFolder() const;
    // Opens a document with the desktop's viewer for it; false when no viewer took it.
    virtual bool openDocument(const QString &file);
    // Starts a program beside this one, in its own folder; false when it could not be started.
    virtual bool start(const QString &program);
    // True while the program file `program` runs: a window titled with its file name where the
    // desktop can find windows by title, otherwise a process started from that very file.
    virtual bool running(const QString &program) const;
    // Ends this program; `program` is started as it ends.
    virtual void endProgram(const QString &program);
};

} // namespace tolva::help
