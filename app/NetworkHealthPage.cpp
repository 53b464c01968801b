#include "app/NetworkHealthPage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>

#include "meterdata/IClock.h"
#include "ui_FormMain.h"
#include "views/StringGrid.h"
#include "views/TableText.h"

namespace lumvaris::app {
namespace {

constexpr int kColumnWidths[views::HealthTableModel::kColumnCount] = {52, 64, 56, 72, 72, 48, 48, 80};
constexpr std::int64_t kMinuteMs = 60000;

}  // namespace

NetworkHealthPage::NetworkHealthPage(Ui::TFormMain& form, const meterdata::IClock& clock,
                                     std::function<int()> networkMeters)
    : form_(form), clock_(clock), networkMeters_(std::move(networkMeters)) {
    QTableView* grid = form_.StringGridHealth;
    grid->setModel(&model_);
    views::SetUpStringGrid(grid, true);
    for (int c = 0; c < views::HealthTableModel::kColumnCount; ++c) {
        grid->setColumnWidth(c, kColumnWidths[c]);
    }
    // A click on a header sorts by that column, a second click the other way round.
    grid->setSortingEnabled(true);
    grid->sortByColumn(views::HealthTableModel::kMeter, Qt::AscendingOrder);
    connect(form_.SpinEditHealthThreshold, &QSpinBox::valueChanged, this, [this] { Redraw(); });
}

void NetworkHealthPage::Reset() {
    health_.Clear();
    Redraw();
}

void NetworkHealthPage::HearPacket(const link::FrameBuffer& frame) {
    const int meter = link::SourceAddress(frame) & link::kMeterNumberMask;
    health_.Hear(meter, link::Payload(frame)[5], clock_.NowMs());
}

bool NetworkHealthPage::IsShowing() const {
    return form_.PageControl->currentWidget() == form_.TabSheetHealth;
}

void NetworkHealthPage::Redraw() {
    if (const int meters = networkMeters_(); meters > 0) {
        meters_ = meters;
    }
    if (!IsShowing()) {
        return;
    }
    model_.Show(health_, meters_, clock_.NowMs(), form_.SpinEditHealthThreshold->value() * kMinuteMs);
}

void NetworkHealthPage::CopyTable() const {
    QGuiApplication::clipboard()->setText(views::TableText(model_));
}

}  // namespace lumvaris::app
