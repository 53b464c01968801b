#include "app/QtOpenDialog.h"

#include <QFileDialog>
#include <QFileInfo>

namespace lumvaris::app {

QString QtOpenDialog::Execute(QWidget* parent) {
    QFileDialog dialog(parent, QStringLiteral("Прошивка новой версии кода концентратора"), directory_,
                       QStringLiteral("Hex файлы (*.hex)"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("hex"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    directory_ = QFileInfo(path).absolutePath();
    return path;
}

}  // namespace lumvaris::app
