#include "QtMessageBox.h"

#include <QCoreApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace lumvaris::app {

void QtMessageBox::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, title_, text, QMessageBox::Ok);
}

void QtMessageBox::Inform(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, title_, text, QMessageBox::Ok);
}

bool QtMessageBox::Confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, title_, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

bool QtMessageBox::Warning(QWidget* parent, const QString& text) {
    return QMessageBox::warning(parent, title_, text, QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Ok) == QMessageBox::Ok;
}

bool QtMessageBox::Retry(QWidget* parent, const QString& text, const QString& giveUpCaption) {
    QMessageBox box(QMessageBox::Warning, title_, text, QMessageBox::NoButton, parent);
    QPushButton* retry =
        box.addButton(QCoreApplication::translate("app::QtMessageBox", "Повторить"), QMessageBox::AcceptRole);
    box.addButton(giveUpCaption, QMessageBox::DestructiveRole);
    box.setDefaultButton(retry);
    box.exec();
    return box.clickedButton() == retry;
}

std::optional<QString> QtMessageBox::AskText(QWidget* parent, const QString& label, const QString& text) {
    bool ok = false;
    const QString typed = QInputDialog::getText(parent, title_, label, QLineEdit::Normal, text, &ok);
    return ok ? std::optional<QString>(typed.trimmed()) : std::nullopt;
}

}  // namespace lumvaris::app
