#include "app/MeterDataBinding.h"

#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <algorithm>
#include <stdexcept>

#include "app/TFormAppOptions.h"
#include "app/TFormMain.h"
#include "meterdata/IClock.h"
#include "meterdata/TMatrixInterface.h"
#include "session/PortDatabase.h"
#include "ui_FormAppOptions.h"
#include "ui_FormMain.h"
#include "views/StoreSort.h"
#include "views/TableText.h"

namespace lumvaris::app {
namespace {

using meterdata::StorePage;

constexpr int kDateColumn = 5;
constexpr int kTimeColumn = 6;
constexpr int kElapsedColumn = 7;
constexpr int kCellPadding = 8;  // the text's inset on both sides and the grid line

}  // namespace

MeterDataBinding::MeterDataBinding(TFormMain& window, session::PortDatabase& database,
                                   const meterdata::IClock& clock)
    : window_(window), clock_(clock), formatter_(clock), port_(database), database_(database.Meter()) {
    Ui::TFormMain& f = window_.Form();
    net_ = std::make_unique<views::StoreGridView>(f.PageControl, f.TabSheetNET, f.StringGridNET, kNetColumns,
                                                  formatter_, clock_);
    packets_ = std::make_unique<views::StoreGridView>(f.PageControl, f.TabSheetPACKETS, f.StringGridPACKETS,
                                                      kStoreColumns, formatter_, clock_);
    days_ = std::make_unique<views::StoreGridView>(f.PageControl, f.TabSheetDAYS, f.StringGridDAYS,
                                                   kStoreColumns, formatter_, clock_);
    // The network table sets the widths; the two others copy its first seven. The date, time and
    // elapsed columns widen where the workstation's formats and font need more room than 64
    // pixels, so a fresh packet's " !!!" mark is not cut off.
    std::vector<int> netWidths{36, 96, 64, 64, 64, 64, 64, 64};
    const QFontMetrics metrics(f.StringGridNET->font());
    const QLocale locale = QLocale::system();
    const QString widestDate = locale.toString(QDate(2026, 12, 28), formatter_.DateFormat());
    const QString widestTime = locale.toString(QTime(23, 58, 58), formatter_.TimeFormat());
    netWidths[kDateColumn] =
        std::max(netWidths[kDateColumn], metrics.horizontalAdvance(widestDate) + kCellPadding);
    netWidths[kTimeColumn] =
        std::max(netWidths[kTimeColumn], metrics.horizontalAdvance(widestTime) + kCellPadding);
    const QString widestElapsed = locale.toString(QTime(0, 0, 14), formatter_.TimeFormat()) + " !!!";
    netWidths[kElapsedColumn] =
        std::max(netWidths[kElapsedColumn], metrics.horizontalAdvance(widestElapsed) + kCellPadding);
    net_->SetColumnWidths(netWidths);
    std::vector<int> widths = net_->ColumnWidths();
    widths.resize(kStoreColumns);
    packets_->SetColumnWidths(widths);
    days_->SetColumnWidths(widths);
    for (views::StoreGridView* view : {net_.get(), packets_.get(), days_.get()}) {
        view->SetAfterShow([this] { window_.StringGridNETClick(); });
        view->Clear();
    }
    database_.SetViews(net_.get(), packets_.get(), days_.get());
    database_.SetHooks(this);
    database_.SetBusyCursor(this);

    f.StringGridNET->installEventFilter(this);
    f.StringGridPACKETS->installEventFilter(this);
    f.StringGridDAYS->installEventFilter(this);
    f.StringGridDAYS->viewport()->installEventFilter(this);
}

MeterDataBinding::~MeterDataBinding() {
    database_.SetHooks(nullptr);
    database_.SetBusyCursor(nullptr);
    database_.SetViews(nullptr, nullptr, nullptr);
}

views::StoreGridView& MeterDataBinding::View(StorePage page) {
    switch (page) {
        case StorePage::Packets:
            return *packets_;
        case StorePage::Days:
            return *days_;
        default:
            return *net_;
    }
}

int MeterDataBinding::Meters() const {
    const meterdata::TMatrixInterface* net = database_.NetStore();
    return net != nullptr ? net->ColCount() - 1 : 0;
}

int MeterDataBinding::NetworkRowMeter() const {
    const QTableView* net = window_.Form().StringGridNET;
    return net_->Model().RowMeter(std::max(net->currentIndex().row(), 0));
}

// ---------------------------------------------------------------------------------------------
// The intake of the replies

meterdata::IntakeResult MeterDataBinding::StoreBufferRecord(const meterdata::PacketFrame& frame) {
    return port_.StoreBufferRecord(frame);
}

meterdata::MonthBufferResult MeterDataBinding::StoreMonthBuffer(const meterdata::PacketFrame& frame) {
    return port_.StoreMonthBuffer(frame);
}

void MeterDataBinding::ApplyNetworkSize(int meters) {
    if (TFormAppOptions* dialog = window_.Dialogs().appOptions) {
        dialog->Form().SpinEditCount->setValue(meters);
    } else {
        meterdata::DatabaseSettings settings = database_.Settings();
        settings.SetMeters(meters);
        database_.SetSettings(settings);
    }
    if (const session::Result applied = ApplySettings(); !applied.IsDone()) {
        window_.ReportError(applied.Message());
    }
}

// ---------------------------------------------------------------------------------------------
// Settings, erase, sort, copy

void MeterDataBinding::ReadSettingsFromDialog() {
    TFormAppOptions* dialog = window_.Dialogs().appOptions;
    if (dialog == nullptr) {
        return;
    }
    Ui::TFormAppOptions& form = dialog->Form();
    meterdata::DatabaseSettings settings;
    settings.SetMeters(form.SpinEditCount->value());
    settings.SetPacketDepth(form.SpinEditPackets->value());
    settings.SetDayDepth(form.SpinEditDays->value());
    database_.SetSettings(settings);
}

void MeterDataBinding::WriteSettingsToDialog() {
    TFormAppOptions* dialog = window_.Dialogs().appOptions;
    if (dialog == nullptr) {
        return;
    }
    const meterdata::DatabaseSettings& settings = database_.Settings();
    dialog->Form().SpinEditCount->setValue(settings.Meters());
    dialog->Form().SpinEditPackets->setValue(settings.PacketDepth());
    dialog->Form().SpinEditDays->setValue(settings.DayDepth());
}

session::Result MeterDataBinding::ApplySettings() {
    if (!database_.IsOpen()) {
        return session::Result::Done();
    }
    ReadSettingsFromDialog();
    return database_.Apply() ? session::Result::Done() : session::Result::Failed(database_.LastError());
}

session::Result MeterDataBinding::EraseFiles() {
    return database_.EraseFiles() ? session::Result::Done() : session::Result::Failed(database_.LastError());
}

void MeterDataBinding::SortStores() {
    if (!database_.IsOpen()) {
        return;
    }
    views::SortStore(*database_.PacketStore());
    views::SortStore(*database_.DayStore());
    database_.MarkChanged();
    RedrawTable(StorePage::Packets);
    RedrawTable(StorePage::Days);
}

void MeterDataBinding::CopyTable() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const StorePage page = ActivePage();
    if (page == StorePage::Other) {
        return;
    }
    clipboard->setText(views::TableText(View(page).Model()));
}

// ---------------------------------------------------------------------------------------------
// Redraws

bool MeterDataBinding::ShowAll() const {
    return window_.Form().NMainOptionsFullSet->isChecked();
}

void MeterDataBinding::RedrawAll() {
    RedrawTable(StorePage::Net);
    RedrawTable(StorePage::Packets);
    RedrawTable(StorePage::Days);
}

void MeterDataBinding::RedrawTable(StorePage page) {
    if (!database_.IsOpen()) {
        return;
    }
    switch (page) {
        case StorePage::Net:
            database_.NetStore()->ShowInGrid(1, ShowAll(), true);
            break;
        case StorePage::Packets:
            database_.PacketStore()->ShowInGrid(SelectedMeter(), ShowAll(), false);
            break;
        case StorePage::Days:
            database_.DayStore()->ShowInGrid(SelectedMeter(), ShowAll(), false);
            break;
        case StorePage::Other:
            break;
    }
}

void MeterDataBinding::RefreshTick() {
    RedrawTable(StorePage::Net);
}

void MeterDataBinding::StepMeter(StorePage page, int delta) {
    const int row = net_->CurrentRow();
    const int next = row + delta;
    if (next >= 1 && next <= net_->Model().rowCount()) {
        net_->SetCurrentRow(next);
    }
    window_.StringGridNETClick();
    RedrawTable(page);
}

// ---------------------------------------------------------------------------------------------
// Hooks

StorePage MeterDataBinding::ActivePage() const {
    const QWidget* page = window_.Form().PageControl->currentWidget();
    const Ui::TFormMain& f = window_.Form();
    if (page == f.TabSheetNET) {
        return StorePage::Net;
    }
    if (page == f.TabSheetPACKETS) {
        return StorePage::Packets;
    }
    if (page == f.TabSheetDAYS) {
        return StorePage::Days;
    }
    return StorePage::Other;
}

int MeterDataBinding::SelectedMeter() const {
    return window_.SelectedMeter();
}

void MeterDataBinding::ReReadSelectedMeter() {
    window_.StringGridNETClick();
}

void MeterDataBinding::NotifyUser(const QString& message) {
    window_.ReportError(message);
}

void MeterDataBinding::BeginBusy() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void MeterDataBinding::EndBusy() {
    QApplication::restoreOverrideCursor();
}

bool MeterDataBinding::eventFilter(QObject* watched, QEvent* event) {
    Ui::TFormMain& f = window_.Form();
    const auto pageOf = [&f](QObject* grid) {
        if (grid == f.StringGridPACKETS) {
            return StorePage::Packets;
        }
        if (grid == f.StringGridDAYS) {
            return StorePage::Days;
        }
        return grid == f.StringGridNET ? StorePage::Net : StorePage::Other;
    };
    switch (event->type()) {
        case QEvent::FocusIn: {
            // Entering a table (the network page through its grid) redraws it.
            const StorePage page = pageOf(watched);
            if (page != StorePage::Other) {
                window_.Guarded([this, page] { RedrawTable(page); });
            }
            break;
        }
        case QEvent::KeyPress: {
            const StorePage page = pageOf(watched);
            if (page != StorePage::Packets && page != StorePage::Days) {
                break;
            }
            const QString text = static_cast<QKeyEvent*>(event)->text();
            int delta = 0;
            if (text == QLatin1String("q") || text == QLatin1String("Q")) {
                delta = -1;
            } else if (text == QLatin1String("a") || text == QLatin1String("A")) {
                delta = 1;
            }
            if (delta != 0) {
                window_.Guarded([this, page, delta] { StepMeter(page, delta); });
                return true;
            }
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (watched == f.StringGridDAYS->viewport()) {
                f.PageControl->setCurrentWidget(f.TabSheetNET);
                return true;
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace lumvaris::app
