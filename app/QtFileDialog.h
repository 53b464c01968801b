#pragma once

#include <QString>

#include "app/IOpenDialog.h"
#include "app/ISaveDialog.h"

namespace lumvaris::app {

// A file dialog over QFileDialog, for a file to read or to write; the folder last chosen is offered
// again. The program has two: the firmware file and the monitor's saved traffic.
class QtFileDialog final : public IOpenDialog, public ISaveDialog {
  public:
    // OpenDialog: "Прошивка новой версии кода концентратора", one filter "Hex файлы" (*.hex),
    // default extension "hex"; the file must exist.
    static QtFileDialog FirmwareFile();
    // "Сохранить обмен", text files (*.txt) or any, default extension "txt".
    static QtFileDialog TrafficFile();
    // "Экспорт базы данных": SQLite (*.sqlite), CSV (*.csv) or JSON Lines (*.jsonl); the default
    // extension follows the filter chosen.
    static QtFileDialog ExportFile();

    // The full path chosen; empty when the dialog was cancelled.
    QString Execute(QWidget* parent) override;

  private:
    QtFileDialog(bool save, QString title, QString filter, QString suffix);

    bool save_;
    QString title_;
    QString filter_;
    QString suffix_;
    QString directory_;
};

}  // namespace lumvaris::app
