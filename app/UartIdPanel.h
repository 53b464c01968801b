#pragma once

#include <QObject>

#include "app/PageServices.h"

namespace Ui {
class TFormMain;
}

namespace lumvaris::app {

class TFormNewAddress;

// The UART-ID panel above the pages: reading the concentrator's address, and changing it through
// "Смена адреса концентратора". The UART-ID field itself belongs to the connection.
class UartIdPanel final : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kConfirmText =
        QT_TRANSLATE_NOOP("lumvaris::app::UartIdPanel", "Установить новый адрес концентратора?");

    UartIdPanel(Ui::TFormMain& form, const PageServices& services);
    void SetAddressDialog(TFormNewAddress* dialog) { dialog_ = dialog; }

    void ButtonAddressClick();

  private:
    void ChangeAddress();

    Ui::TFormMain& form_;
    PageServices services_;
    TFormNewAddress* dialog_ = nullptr;
};

}  // namespace lumvaris::app
