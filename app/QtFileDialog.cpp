#include "app/QtFileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace lumvaris::app {

QtFileDialog QtFileDialog::FirmwareFile() {
    return {false, QStringLiteral("Прошивка новой версии кода концентратора"),
            QStringLiteral("Hex файлы (*.hex)"), QStringLiteral("hex")};
}

QtFileDialog QtFileDialog::TrafficFile() {
    return {true, QStringLiteral("Сохранить обмен"), QStringLiteral("Текстовые файлы (*.txt);;Все файлы (*)"),
            QStringLiteral("txt")};
}

QtFileDialog::QtFileDialog(bool save, QString title, QString filter, QString suffix)
    : save_(save), title_(std::move(title)), filter_(std::move(filter)), suffix_(std::move(suffix)) {}

QString QtFileDialog::Execute(QWidget* parent) {
    QFileDialog dialog(parent, title_, directory_, filter_);
    dialog.setAcceptMode(save_ ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save_ ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(suffix_);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    directory_ = QFileInfo(path).absolutePath();
    return path;
}

}  // namespace lumvaris::app
