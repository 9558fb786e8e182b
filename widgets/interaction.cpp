#include "interaction.h"

#include "base/outputfile.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QMessageBox>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QUrl>

namespace tolva {

namespace {

// Runs a window to its end and makes the window that was active before it active again. A window
// manager does that on its own; without one (a bare X server) no window would be active and the
// next Alt+X would type an "x" into a field instead of closing its window.
int runAndReturn(QDialog &dialog)
{
    const QPointer<QWidget> before = QApplication::activeWindow();
    const int result = dialog.exec();
    const QWidget *now = QApplication::activeWindow();
    if (before && before->isVisible() && (!now || !now->isVisible()))
        before->activateWindow();
    return result;
}

// Icons and type names told by the name alone. The desktop's provider opens a file to read its
// first bytes when the name leaves its type open (a ledger's "tolva.db", its journals).
class NameIcons : public QFileIconProvider {
public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo &info) const override
    {
        if (info.isRoot())
            return QFileIconProvider::icon(Drive);
        return QFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo &info) const override
    {
        if (info.isRoot())
            return QStringLiteral("驱动器");
        if (info.isDir())
            return QStringLiteral("文件夹");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("文件") : suffix.toUpper() + QStringLiteral(" 文件");
    }
};

// Leaves the data folder's own files out of a file dialog's lists: none of them is a document to
// open or a file to write over.
class HideDataFiles : public QSortFilterProxyModel {
public:
    HideDataFiles(const QString &dataFolder, QObject *parent)
        : QSortFilterProxyModel(parent), folder_(QFileInfo(dataFolder).canonicalFilePath())
    {
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (!files || folder_.isEmpty())
            return true;
        const QModelIndex index = files->index(row, 0, parent);
        if (files->isDir(index) || !dataFileNames().contains(files->fileName(index)))
            return true;
        return QFileInfo(files->filePath(parent)).canonicalFilePath() != folder_;
    }

private:
    QString folder_;
};

} // namespace

// Gives every file dialog of the program, also those Qt opens on its own (the print dialog's
// "print to file"), the icons that never open a file and the list without the data files, before
// it lists anything.
struct DesktopInteraction::Guard : QObject {
    explicit Guard(const QString &dataFolder) : dataFolder(dataFolder) {}

    void protect(QFileDialog &dialog)
    {
        if (dialog.iconProvider() != &icons)
            dialog.setIconProvider(&icons);
        if (!dialog.proxyModel())
            dialog.setProxyModel(new HideDataFiles(dataFolder, &dialog));
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            if (auto *dialog = qobject_cast<QFileDialog *>(watched))
                protect(*dialog);
        return false;
    }

    QString dataFolder;
    NameIcons icons;
};

DesktopInteraction::DesktopInteraction(const QString &dataFolder)
    : guard_(std::make_unique<Guard>(dataFolder))
{
    // A desktop's native file dialog runs in this process too and reads files to tell their types.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(guard_.get());
}

DesktopInteraction::~DesktopInteraction() = default;

QString DesktopInteraction::fileName(QWidget *parent, const QString &title, const QString &start,
                                     const QString &filter, bool save)
{
    QFileDialog dialog(parent, title, start, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    guard_->protect(dialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    return runAndReturn(dialog) == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

void DesktopInteraction::message(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    runAndReturn(box);
}

void DesktopInteraction::error(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Critical, caption(), text, QMessageBox::Ok, parent);
    runAndReturn(box);
}

bool DesktopInteraction::confirm(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    return runAndReturn(box) == QMessageBox::Ok;
}

QString DesktopInteraction::openFileName(QWidget *parent, const QString &title, const QString &folder,
                                         const QString &filter)
{
    return fileName(parent, title, folder, filter, false);
}

QString DesktopInteraction::saveFileName(QWidget *parent, const QString &title, const QString &file,
                                         const QString &filter)
{
    return fileName(parent, title, file, filter, true);
}

int DesktopInteraction::exec(QDialog *dialog)
{
    return runAndReturn(*dialog);
}

void DesktopInteraction::open(const QUrl &url)
{
    QDesktopServices::openUrl(url);
}

} // namespace tolva
