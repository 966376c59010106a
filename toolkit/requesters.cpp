// The modal requesters: message boxes and the file requesters.
//
// A file requester takes a name only when its folder exists; it refuses any other and stays
// open, as a desktop requester does.
#include "toolkit/cp1252.h"
#include "toolkit/internal.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

bool FolderExists(const QString& path) {
    return QFileInfo(path).absoluteDir().exists();
}

QString RefusalText(const QString& path) {
    return QString("%1\nThis folder does not exist.\nPlease choose a name in an existing folder.")
        .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
}

class FileRequester : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

  protected:
    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() && !FolderExists(chosen.constFirst())) {
            // Over the requester, without a loop of its own: the requester stays open under it.
            auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(),
                                        RefusalText(chosen.constFirst()), QMessageBox::Ok, this);
            box->setAttribute(Qt::WA_DeleteOnClose);
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
    // Qt's own requester behaves the same on every desktop and under test.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
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
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
}

} // namespace

void ShowMessage(const std::string& caption, const std::string& text) {
    QString shown = TextToWidget(text);
    shown.replace("\r\n", "\n");
    QMessageBox box(QMessageBox::NoIcon, TextToWidget(caption), shown, QMessageBox::Ok,
                    ForegroundWindow());
    box.setObjectName("ShowMessage");
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
