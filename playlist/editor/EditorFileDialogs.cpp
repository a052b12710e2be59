#include "playlist/editor/EditorFileDialogs.h"

#include <QByteArray>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

namespace {

class QtListFileDialogs final : public ListFileDialogs {
public:
    std::string ChooseListToLoad(QWidget* parent, const std::string& folder) override {
        return Run(parent, folder, false);
    }
    std::string ChooseListToSave(QWidget* parent, const std::string& folder) override {
        return Run(parent, folder, true);
    }
    void TellListNotSaved(QWidget* parent, const std::string& path) override {
        QPointer<QMessageBox> box = new QMessageBox(
            QMessageBox::Warning, QStringLiteral("名前を付けて保存"),
            QStringLiteral("リストを保存できませんでした。\n") + QFile::decodeName(QByteArray::fromStdString(path)),
            QMessageBox::Ok, parent);
        box->exec();
        delete box.data();  // null when the owner went away meanwhile
    }

private:
    static std::string Run(QWidget* parent, const std::string& folder, bool save) {
        // Windows' pattern matching ignores case; ours must say so.
        const QString filter = QStringLiteral("Select List File (*.[tT][sS][rR] *.[mM]3[uU])");
        // On the heap: the owner may go away while the dialog runs, and takes the dialog along.
        QPointer<QFileDialog> dialog =
            new QFileDialog(parent, save ? QStringLiteral("名前を付けて保存") : QStringLiteral("開く"),
                            QFile::decodeName(QByteArray::fromStdString(folder)), filter);
        dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        dialog->setDefaultSuffix(QStringLiteral("tsr"));
        dialog->setOption(QFileDialog::HideNameFilterDetails);
        const int result = dialog->exec();
        if (dialog.isNull()) return {};
        std::string chosen;
        const QStringList files = dialog->selectedFiles();
        if (result == QDialog::Accepted && !files.isEmpty()) chosen = QFile::encodeName(files.front()).toStdString();
        delete dialog.data();
        return chosen;
    }
};

}  // namespace

std::unique_ptr<ListFileDialogs> MakeQtListFileDialogs() { return std::make_unique<QtListFileDialogs>(); }
