#include "app/QtSaveDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace lumvaris::app {

QString QtSaveDialog::Execute(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("Сохранить обмен"), directory_,
                       QStringLiteral("Текстовые файлы (*.txt);;Все файлы (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    directory_ = QFileInfo(path).absolutePath();
    return path;
}

}  // namespace lumvaris::app
