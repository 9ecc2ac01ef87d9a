#include "app/Dialogs.h"
#include "app/TrainerApplication.h"

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

namespace {

QWidget* DialogParent() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    return QApplication::activeWindow();
}

QString Title() {
    return QString::fromLatin1(ApplicationTitle);
}

// How much wider than its caption's text a message box is made: room for the icon and the
// buttons a window manager puts beside the caption in a title bar of that height.
int CaptionRoom(int titleBarHeight) {
    return 6 * titleBarHeight;
}

// The widest a message box grows: the toolkit's own limit, beyond which it breaks lines
// anywhere.
int WidestBox(const QWidget& box) {
    const int screen = box.screen()->availableGeometry().width();
    return screen <= 1024 ? screen : std::min(screen - 480, 1000);
}

// A message box sizes itself to its text: a short text leaves the window manager too little
// room for the caption, which it then elides ("Q... r"), and a line longer than half the screen
// is wrapped. Struts in a row of their own under the text keep room for both, up to the widest
// box there may be: one as wide as the longest line in the text's column, one as wide as the
// caption with the frame's icon and buttons across the whole box.
void MakeRoom(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!grid || !label) return;
    int row = 0, col = 0, rows = 0, cols = 0;
    grid->getItemPosition(grid->indexOf(label), &row, &col, &rows, &cols);

    // What the columns left of the text and the margins take.
    const QMargins m = grid->contentsMargins();
    int beside = m.left() + m.right() + col * grid->horizontalSpacing();
    for (int c = 0; c < col; ++c) {
        int widest = 0;
        for (int r = 0; r < grid->rowCount(); ++r) {
            const QLayoutItem* item = grid->itemAtPosition(r, c);
            int ir = 0, ic = 0, irs = 0, ics = 0;
            if (!item) continue;
            grid->getItemPosition(grid->indexOf(item), &ir, &ic, &irs, &ics);
            if (ics == 1) widest = std::max(widest, item->minimumSize().width());
        }
        beside += widest;
    }

    const QFontMetrics text(label->font());
    int line = 0;
    for (const QString& l : box.text().split(QLatin1Char('\n')))
        line = std::max(line, text.horizontalAdvance(l));
    // A character to spare: the label breaks lines by its own measure, which rounds otherwise.
    line += text.averageCharWidth() + 2 * label->margin() + label->contentsMargins().left() +
            label->contentsMargins().right();

    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const int titleBar = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    const int caption =
        QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + CaptionRoom(titleBar);

    const int widest = WidestBox(box);
    const int strutRow = grid->rowCount();
    grid->addItem(new QSpacerItem(std::min(line, widest - beside), 0, QSizePolicy::Fixed,
                                  QSizePolicy::Fixed),
                  strutRow, col);
    grid->addItem(new QSpacerItem(std::min(caption, widest) - m.left() - m.right(), 0,
                                  QSizePolicy::Fixed, QSizePolicy::Fixed),
                  strutRow, 0, 1, grid->columnCount());
}

int RunBox(QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, Title(), text, buttons, DialogParent());
    box.setDefaultButton(QMessageBox::Ok);
    MakeRoom(box);
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
