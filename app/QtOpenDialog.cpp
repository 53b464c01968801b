#include "app/QtOpenDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace lumvaris::app {

std::unique_ptr<QFileDialog> QtOpenDialog::Make(QWidget* parent) const {
    auto dialog = std::make_unique<QFileDialog>(parent, QString::fromUtf8(kTitle), directory_,
                                                QString::fromUtf8(kFilter));
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setDefaultSuffix(QString::fromUtf8(kDefaultExtension));
    return dialog;
}

QString QtOpenDialog::Execute(QWidget* parent) {
    const std::unique_ptr<QFileDialog> dialog = Make(parent);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return {};
    }
    const QString path = QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
    directory_ = QFileInfo(path).absolutePath();
    return path;
}

}  // namespace lumvaris::app
