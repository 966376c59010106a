// The modal requesters: message boxes and the file requesters.
//
// The file requesters are the desktop's own where its platform theme offers one (the GTK or KDE
// requester, or the portal's inside a sandbox); Qt decides that, and falls back to its own
// requester elsewhere. Either way a name is taken only when its folder exists. Qt's own requester
// then refuses the name and stays open, as a desktop requester does; a desktop requester has
// closed before the name can be checked, so the refusal is explained and the requester asked
// again.
#include "toolkit/cp1252_p.h"
#include "toolkit/internal_p.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>

namespace {

// What a window manager's title bar takes beside the title: its buttons and margins.
constexpr int TITLE_BAR_BUTTONS_WIDTH = 120;

// The headless platforms have no desktop requester to show; the tests drive Qt's own there.
bool DesktopRequesterPossible() {
    const QString platform = QGuiApplication::platformName();
    return platform != "offscreen" && platform != "minimal";
}

bool FolderExists(const QString& path) {
    return QFileInfo(path).absoluteDir().exists();
}

QString RefusalText(const QString& path) {
    return QString("%1\nThis folder does not exist.\nPlease choose a name in an existing folder.")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
}

// Makes the box at least as wide as its title, which the window manager writes in the title
// font beside its own buttons, so that the title is never cut short. The box sizes itself from
// its layout each time it is shown.
void FitTitle(QMessageBox* box) {
    auto* grid = qobject_cast<QGridLayout*>(box->layout());
    auto* buttons = box->findChild<QDialogButtonBox*>();
    const int index = grid != nullptr && buttons != nullptr ? grid->indexOf(buttons) : -1;
    if (index < 0) {
        return;
    }
    // In the buttons' row, with no height of its own, so that only the width can change.
    int row = 0;
    int column = 0;
    int rows = 0;
    int columns = 0;
    grid->getItemPosition(index, &row, &column, &rows, &columns);
    const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    const int width = title.horizontalAdvance(box->windowTitle()) + TITLE_BAR_BUTTONS_WIDTH;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), row, 0, rows,
                  grid->columnCount());
}

void Warn(const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, ForegroundWindow());
    FitTitle(&box);
    box.exec();
}

// No Q_OBJECT: with the plain QFileDialog meta-object Qt still lets the desktop's requester
// stand in for this one.
class FileRequester : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

  protected:
    void accept() override {
        // While a desktop requester stands in, this dialog is kept off the screen.
        const bool ownRequesterShown = !testAttribute(Qt::WA_DontShowOnScreen);
        const QStringList chosen = selectedFiles();
        if (ownRequesterShown && !chosen.isEmpty() && !FolderExists(chosen.constFirst())) {
            // Over the requester, without a loop of its own: the requester stays open under it.
            auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                        RefusalText(chosen.constFirst()), QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
            FitTitle(box);
            box->open();
            return;
        }
        QFileDialog::accept();
    }
};

// The requesters' pattern is a list of description|pattern pairs; "*.*" means every file.
QStringList NameFilters(const std::string& pattern) {
    const QStringList parts = TextToWidget(pattern).split('|');
    QStringList filters;
    for (qsizetype index = 0; index < parts.size(); index += 2) {
        QString files = index + 1 < parts.size() ? parts[index + 1] : parts[index];
        files.replace("*.*", "*").replace(';', ' ');
        const QString description = index + 1 < parts.size() ? parts[index] : "All files";
        filters << QString("%1 (%2)").arg(description, files);
    }
    return filters;
}

std::string AskFile(const std::string& title, const std::string& defaultFile,
                    const std::string& pattern, int32_t patternIndex, bool forSaving) {
    FileRequester dialog(ForegroundWindow(), TextToWidget(title));
    dialog.setObjectName(forSaving ? "AskSaveFile" : "AskOpenFile");
    dialog.setOption(QFileDialog::DontUseNativeDialog, !DesktopRequesterPossible());
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const QStringList filters = NameFilters(pattern);
    dialog.setNameFilters(filters);
    if (patternIndex > 0 && patternIndex <= filters.size()) {
        dialog.selectNameFilter(filters[patternIndex - 1]);
    }
    if (!defaultFile.empty()) {
        dialog.selectFile(QFile::decodeName(defaultFile.c_str()));
    }
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        const QString chosen = dialog.selectedFiles().constFirst();
        if (FolderExists(chosen)) {
            return QFile::encodeName(chosen).toStdString();
        }
        // A desktop requester has closed already: say why, then open it again on the nearest
        // folder that exists, with the name filled in.
        Warn(dialog.windowTitle(), RefusalText(chosen));
        QString folder = QFileInfo(chosen).absolutePath();
        while (!QDir(folder).exists() && folder != QDir::rootPath()) {
            folder = QFileInfo(folder).absolutePath();
        }
        dialog.setDirectory(folder);
        dialog.selectFile(QFileInfo(chosen).fileName());
    }
}

} // namespace

void ShowMessage(const std::string& caption, const std::string& text) {
    QString shown = TextToWidget(text);
    shown.replace("\r\n", "\n");
    QMessageBox box(QMessageBox::NoIcon, TextToWidget(caption), shown, QMessageBox::Ok,
                    ForegroundWindow());
    box.setObjectName("ShowMessage");
    FitTitle(&box);
    box.exec();
}

std::string AskOpenFile(const std::string& title, const std::string& defaultFile,
                        const std::string& pattern, int32_t patternIndex) {
    return AskFile(title, defaultFile, pattern, patternIndex, false);
}

std::string AskSaveFile(const std::string& title, const std::string& defaultFile,
                        const std::string& pattern, int32_t patternIndex) {
    return AskFile(title, defaultFile, pattern, patternIndex, true);
}
