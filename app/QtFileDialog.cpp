#include "app/QtFileDialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace lumvaris::app {

// The filters' "(*.ext)" parts name the suffix a typed name takes: every translation keeps them.
QtFileDialog QtFileDialog::FirmwareFile() {
    return {false,
            QCoreApplication::translate("app::QtFileDialog", "Прошивка новой версии кода концентратора"),
            QCoreApplication::translate("app::QtFileDialog", "Hex файлы (*.hex)"), QStringLiteral("hex")};
}

QtFileDialog QtFileDialog::TrafficFile() {
    return {true, QCoreApplication::translate("app::QtFileDialog", "Сохранить обмен"),
            QCoreApplication::translate("app::QtFileDialog", "Текстовые файлы (*.txt);;Все файлы (*)"),
            QStringLiteral("txt")};
}

QtFileDialog QtFileDialog::ExportFile() {
    return {true, QCoreApplication::translate("app::QtFileDialog", "Экспорт базы данных"),
            QCoreApplication::translate("app::QtFileDialog",
                                        "База данных SQLite (*.sqlite);;CSV (*.csv);;JSON Lines (*.jsonl)"),
            QStringLiteral("sqlite")};
}

QtFileDialog::QtFileDialog(bool save, QString title, QString filter, QString suffix)
    : save_(save), title_(std::move(title)), filter_(std::move(filter)), suffix_(std::move(suffix)) {}

QString QtFileDialog::Execute(QWidget* parent) {
    QFileDialog dialog(parent, title_, directory_, filter_);
    dialog.setAcceptMode(save_ ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save_ ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(suffix_);
    // A name typed without an extension takes the one of the filter chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const qsizetype star = filter.indexOf(QStringLiteral("*."));
        if (star >= 0) {
            dialog.setDefaultSuffix(filter.mid(star + 2).section(QLatin1Char(')'), 0, 0));
        }
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    directory_ = QFileInfo(path).absolutePath();
    return path;
}

}  // namespace lumvaris::app
