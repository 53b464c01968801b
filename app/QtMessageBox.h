#pragma once

#include <QString>

#include "app/IMessageBox.h"

namespace lumvaris::app {

// QMessageBox, titled with the application title.
class QtMessageBox final : public IMessageBox {
  public:
    explicit QtMessageBox(QString title) : title_(std::move(title)) {}
    void Error(QWidget* parent, const QString& text) override;
    void Inform(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    bool Warning(QWidget* parent, const QString& text) override;
    bool Retry(QWidget* parent, const QString& text, const QString& giveUpCaption) override;
    std::optional<QString> AskText(QWidget* parent, const QString& label, const QString& text) override;

  private:
    QString title_;
};

}  // namespace lumvaris::app
