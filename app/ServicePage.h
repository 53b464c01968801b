#pragma once

#include <QObject>

#include "app/PageServices.h"
#include "commands/ReplyDisplays.h"

namespace Ui {
class TFormMain;
}

namespace lumvaris::app {

// The service pages "Калибровка часов" and "Тесты" (but for its clock group, which belongs to the
// protected page): the clock rate trim, the memory test, the restart and the register read.
class ServicePage final : public QObject, public commands::IServiceDisplay {
    Q_OBJECT
  public:
    static constexpr const char* kMemoryTestWarning = QT_TRANSLATE_NOOP(
        "lumvaris::app::ServicePage",
        "Внимание! Проверка памяти концентратора\r\nзанимает продолжительное время\r\nи приводит к полному "
        "уничтожению всех\r\nнакопленных данных! Продолжить?");

    ServicePage(Ui::TFormMain& form, const PageServices& services);

    void ButtonRTCClick();
    void ButtonSRAMtestClick();
    void ButtonResetClick();
    void ButtonGetRegClick();

    // commands::IServiceDisplay
    void ShowClockTrim(int ppm) override;
    QString RegisterPageText() const override;
    QString RegisterOffsetText() const override;
    void ShowRegisters(const QStringList& lines) override;

  private:
    Ui::TFormMain& form_;
    PageServices services_;
};

}  // namespace lumvaris::app
