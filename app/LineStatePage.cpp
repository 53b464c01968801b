#include "app/LineStatePage.h"

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include "commands/CommandSender.h"
#include "commands/IConnectionControl.h"
#include "link/Requester.h"
#include "session/ITimer.h"
#include "ui_FormMain.h"

namespace lumvaris::app {

namespace request = commands::request;

LineStatePage::LineStatePage(Ui::TFormMain& form, const PageServices& services)
    : form_(form), services_(services), view_(form.StringGridLineState, form.ChartSweep) {
    connect(form_.ButtonGetLineState, &QPushButton::clicked, this,
            services_.Guard([this] { ButtonGetLineStateClick(); }));
    connect(form_.CheckBoxGetAutoFr, &QCheckBox::toggled, this,
            services_.Guard([this] { CheckBoxGetAutoFrClick(); }));
    connect(form_.SpeedButtonCopy, &QToolButton::clicked, this,
            services_.Guard([this] { SpeedButtonCopyClick(); }));
    form_.SpeedButtonCopy->setIcon(
        form_.SpeedButtonCopy->style()->standardIcon(QStyle::SP_FileDialogContentsView));
    timerGetAutoFr_ = services_.timers.Create("TimerGetAutoFr", kAutoIntervalMs,
                                              services_.Guard([this] { TimerGetAutoFrTimer(); }));
}

LineStatePage::~LineStatePage() = default;

void LineStatePage::ButtonGetLineStateClick() {
    services_.sender.Send(request::Plain(commands::RequestType::LineStateRead));
}

void LineStatePage::CheckBoxGetAutoFrClick() {
    if (form_.CheckBoxGetAutoFr->isChecked()) {
        timerGetAutoFr_->Start();
    } else {
        timerGetAutoFr_->Stop();
    }
}

void LineStatePage::TimerGetAutoFrTimer() {
    if (form_.PageControl->currentWidget() != form_.TabSheetLineState || !services_.connection.IsOpen() ||
        services_.requester.WaitInProgress()) {
        return;
    }
    ButtonGetLineStateClick();
}

void LineStatePage::SpeedButtonCopyClick() {
    // The group renders itself, whatever covers it on the screen.
    const QPixmap picture = form_.GroupBoxLine->grab();
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setPixmap(picture);
}

void LineStatePage::ShowLineState(const commands::LineState& state) {
    view_.Show(state);
}

}  // namespace lumvaris::app
