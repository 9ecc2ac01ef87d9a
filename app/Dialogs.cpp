#include "app/Dialogs.h"
#include "app/TrainerApplication.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QWidget* DialogParent() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

QString Title() {
    return QString::fromLatin1(ApplicationTitle);
}

int RunBox(QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, Title(), text, buttons, DialogParent());
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec();
}

// The toolkit's own directory dialog refuses a typed directory that does not exist; this one
// offers to create it first.
class DirectoryDialog : public QFileDialog {
public:
    DirectoryDialog(QWidget* parent, const QString& startDir)
        : QFileDialog(parent, QStringLiteral("Select Directory"), startDir) {
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly, true);
        setOption(QFileDialog::DontUseNativeDialog, true);
    }

    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() && !QFileInfo::exists(chosen.first())) {
            if (!Dialogs().Ask(QString::fromLatin1(CreateDirectoryQuestion))) return;
            if (!QDir().mkpath(chosen.first())) {
                Dialogs().ShowError(QStringLiteral("Could not create the directory \"%1\".")
                                        .arg(chosen.first()));
                return;
            }
        }
        QFileDialog::accept();
    }
};

class QtDialogs : public DialogService {
public:
    bool Ask(const QString& text) override {
        return RunBox(QMessageBox::Question, text, QMessageBox::Ok | QMessageBox::Cancel) ==
               QMessageBox::Ok;
    }
    void Inform(const QString& text) override {
        RunBox(QMessageBox::NoIcon, text, QMessageBox::Ok);
    }
    void ShowError(const QString& text) override {
        RunBox(QMessageBox::Critical, text, QMessageBox::Ok);
    }
    QString ChooseSaveFile(const QString& title, const QString& startDir,
                           const QString& defaultSuffix, const QString& defaultName,
                           const QString& filter) override {
        QFileDialog dialog(DialogParent(), title, startDir, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(defaultSuffix);
        if (!defaultName.isEmpty()) dialog.selectFile(defaultName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().first();
    }
    QString ChooseDirectory(const QString& startDir) override {
        DirectoryDialog dialog(DialogParent(), startDir);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return QDir::cleanPath(dialog.selectedFiles().first());
    }
};

DialogService* installed = nullptr;

}  // namespace

DialogService& RealDialogs() {
    static QtDialogs real;
    return real;
}

DialogService& Dialogs() {
    return installed ? *installed : RealDialogs();
}

void SetDialogs(DialogService* service) {
    installed = service;
}
