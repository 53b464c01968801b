#include "app/TFormLinkMonitor.h"

#include <QHeaderView>
#include <QSaveFile>
#include <QScrollBar>

#include "app/IMessageBox.h"
#include "app/ISaveDialog.h"
#include "link/Receiver.h"
#include "link/Requester.h"
#include "monitor/TrafficText.h"
#include "session/ITimer.h"
#include "ui/WidgetColours.h"
#include "ui_FormLinkMonitor.h"
#include "views/StringGrid.h"
#include "views/TableText.h"

namespace lumvaris::app {
namespace {

// Time, direction, source, destination, N, type, payload, mark.
constexpr int kColumnWidths[monitor::kTrafficColumns] = {92, 40, 76, 88, 32, 180, 300, 140};

}  // namespace

TFormLinkMonitor::TFormLinkMonitor(link::Requester& requester, link::Receiver& receiver,
                                   const meterdata::IClock& clock, session::ITimerFactory& timers,
                                   IMessageBox& messages, QWidget* parent)
    : QWidget(parent, Qt::Window),
      ui_(new Ui::TFormLinkMonitor),
      requester_(requester),
      receiver_(receiver),
      messages_(messages),
      log_(clock),
      model_(log_) {
    ui_->setupUi(this);
    QTableView* grid = ui_->StringGridMonitor;
    grid->setModel(&model_);
    views::SetUpStringGrid(grid, true);
    grid->horizontalHeader()->setStretchLastSection(true);
    for (int c = 0; c < monitor::kTrafficColumns; ++c) {
        grid->setColumnWidth(c, kColumnWidths[c]);
    }
    timerMonitor_ = timers.Create("TimerMonitor", kPublishIntervalMs, [this] { TimerMonitorTimer(); });

    connect(ui_->ButtonMonitorPause, &QPushButton::clicked, this, [this] { ButtonMonitorPauseClick(); });
    connect(ui_->ButtonMonitorClear, &QPushButton::clicked, this, [this] { ButtonMonitorClearClick(); });
    connect(ui_->ButtonMonitorSave, &QPushButton::clicked, this, [this] { ButtonMonitorSaveClick(); });
    connect(ui_->ComboBoxMonitorDirection, &QComboBox::currentIndexChanged, this,
            [this] { MonitorFilterChange(); });
    connect(ui_->CheckBoxMonitorMeterPackets, &QCheckBox::toggled, this, [this] { MonitorFilterChange(); });
    connect(ui_->EditMonitorTypes, &QLineEdit::textChanged, this, [this] { MonitorFilterChange(); });
    ShowCount();
}

TFormLinkMonitor::~TFormLinkMonitor() {
    if (recording_) {
        requester_.SetObserver(nullptr);
        receiver_.SetObserver(nullptr);
    }
}

void TFormLinkMonitor::showEvent(QShowEvent* event) {
    if (!recording_) {
        recording_ = true;
        requester_.SetObserver(&log_);
        receiver_.SetObserver(&log_);
    }
    // What came while the window was hidden, at once.
    FollowAfter([this] { model_.Publish(); });
    ShowCount();
    timerMonitor_->Start();
    QWidget::showEvent(event);
}

void TFormLinkMonitor::hideEvent(QHideEvent* event) {
    timerMonitor_->Stop();
    QWidget::hideEvent(event);
}

void TFormLinkMonitor::FollowAfter(const std::function<void()>& change) {
    // A table scrolled to its end keeps to the newest row; one scrolled back stays where it is.
    QScrollBar* bar = ui_->StringGridMonitor->verticalScrollBar();
    const bool follow = bar->value() >= bar->maximum();
    change();
    if (follow) {
        ui_->StringGridMonitor->scrollToBottom();
    }
}

void TFormLinkMonitor::TimerMonitorTimer() {
    FollowAfter([this] { model_.Publish(); });
    ShowCount();
}

void TFormLinkMonitor::ShowCount() {
    QString text = tr("Строк: %1 из %2 записанных").arg(model_.rowCount()).arg(log_.Size());
    if (model_.Paused()) {
        text += tr(" — пауза, запись идёт");
    }
    ui_->LabelMonitorCount->setText(text);
}

void TFormLinkMonitor::ButtonMonitorPauseClick() {
    model_.SetPaused(ui_->ButtonMonitorPause->isChecked());
    FollowAfter([this] { model_.Publish(); });
    ShowCount();
}

void TFormLinkMonitor::ButtonMonitorClearClick() {
    log_.Clear();
    model_.Publish();
    ShowCount();
}

void TFormLinkMonitor::MonitorFilterChange() {
    monitor::TrafficFilter filter;
    filter.direction = static_cast<monitor::DirectionFilter>(ui_->ComboBoxMonitorDirection->currentIndex());
    filter.meterPackets = ui_->CheckBoxMonitorMeterPackets->isChecked();
    // A code that does not read is shown in maroon; the codes that do still filter.
    if (monitor::ParseTypeCodes(ui_->EditMonitorTypes->text(), filter.types)) {
        ui::ResetFontColour(ui_->EditMonitorTypes);
    } else {
        ui::SetFontColour(ui_->EditMonitorTypes, ui::kHighlightColour);
    }
    FollowAfter([this, &filter] { model_.SetFilter(filter); });
    ShowCount();
}

void TFormLinkMonitor::ButtonMonitorSaveClick() {
    if (saveDialog_ == nullptr) {
        return;
    }
    const QString path = saveDialog_->Execute(this);
    if (path.isEmpty()) {
        return;
    }
    const QByteArray bytes = views::TableText(model_, QStringLiteral("\n")).toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        messages_.Error(this, tr("Не удалось сохранить файл %1:\n%2").arg(path, file.errorString()));
    }
}

}  // namespace lumvaris::app
