#include "QtMessageBox.h"

#include <QMessageBox>

namespace lumvaris::app {

void QtMessageBox::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, title_, text, QMessageBox::Ok);
}

bool QtMessageBox::Confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, title_, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

bool QtMessageBox::Warning(QWidget* parent, const QString& text) {
    return QMessageBox::warning(parent, title_, text, QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Ok) == QMessageBox::Ok;
}

}  // namespace lumvaris::app
