#include "meterdata/MeterDatabase.h"

#include "meterdata/IMeterDataHooks.h"
#include "meterdata/IStoreView.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace lumvaris::meterdata {

namespace {

const char* const kNetCaptionPrefix = "Ёмкость сети ";
const char* const kNetCaptionSuffix = " счётчиков";
const char* const kPacketsCaptionPrefix = "Последние ";
const char* const kPacketsCaptionSuffix = " пакетов";
const char* const kDaysCaptionPrefix = "Последние ";
const char* const kDaysCaptionSuffix = " дней";

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

}  // namespace

MeterDatabase::MeterDatabase(QString programDirectory, const IClock& clock)
    : programDirectory_(std::move(programDirectory)), clock_(clock) {}

MeterDatabase::~MeterDatabase() = default;

void MeterDatabase::SetViews(IStoreView* net, IStoreView* packets, IStoreView* days) {
    netView_ = net;
    packetsView_ = packets;
    daysView_ = days;
    if (net_) {
        net_->SetView(net);
        packets_->SetView(packets);
        days_->SetView(days);
    }
}

QString MeterDatabase::DatabaseFileName(const QString& programDirectory, const QString& portName,
                                        const char* suffix) {
    static const QRegularExpression kSeparators(QStringLiteral("[/\\\\:]"));
    const QStringList parts = portName.split(kSeparators, Qt::SkipEmptyParts);
    const QString port = parts.isEmpty() ? QString() : parts.last();
    QString directory = programDirectory;
    if (!directory.isEmpty() && !directory.endsWith(QLatin1Char('/')) &&
        !directory.endsWith(QLatin1Char('\\'))) {
        directory += QLatin1Char('/');
    }
    return directory + port + QString::fromUtf8(suffix);
}

QString MeterDatabase::PacketsFileName(const QString& portName) const {
    return DatabaseFileName(programDirectory_, portName, kPacketsSuffix);
}

QString MeterDatabase::DaysFileName(const QString& portName) const {
    return DatabaseFileName(programDirectory_, portName, kDaysSuffix);
}

void MeterDatabase::AddError(const QString& error) {
    if (error.isEmpty()) {
        return;
    }
    if (!lastError_.isEmpty()) {
        lastError_ += QLatin1Char('\n');
    }
    lastError_ += error;
}

bool MeterDatabase::Dimension(TMatrixInterface& store, int rows, int cols) {
    if (store.SetRowCount(rows) && store.SetColCount(cols)) {
        return true;
    }
    AddError(QStringLiteral("Недостаточно памяти для локальной базы данных (%1 x %2 записей).")
                 .arg(rows)
                 .arg(cols));
    return false;
}

std::unique_ptr<TMatrixInterface> MeterDatabase::OpenStore(const QString& fileName, const char* prefix,
                                                           const char* suffix, IStoreView* view, int depth) {
    auto store = std::make_unique<TMatrixInterface>(fileName);
    store->SetCaptionTexts(QString::fromUtf8(prefix), QString::fromUtf8(suffix));
    store->SetView(view);
    const LoadResult loaded = store->Load(busy_);
    if (loaded.Status == LoadStatus::KeptAside && hooks_ != nullptr) {
        hooks_->NotifyUser(
            QStringLiteral("Файл локальной базы данных «%1» повреждён и не может быть загружен.\n"
                           "Он сохранён без изменений под именем «%2»; данные порта "
                           "накапливаются в новом файле.")
                .arg(Native(fileName), Native(loaded.KeptAsideName)));
    }
    AddError(loaded.Error);
    if (store->IsBlank()) {
        Dimension(*store, settings_.Meters() + 1, depth + 1);
    }
    return store;
}

bool MeterDatabase::Open(const QString& portName) {
    Close();
    lastError_.clear();
    portName_ = portName;
    packets_ = OpenStore(PacketsFileName(portName), kPacketsCaptionPrefix, kPacketsCaptionSuffix,
                         packetsView_, settings_.PacketDepth());
    days_ = OpenStore(DaysFileName(portName), kDaysCaptionPrefix, kDaysCaptionSuffix, daysView_,
                      settings_.DayDepth());

    net_ = std::make_unique<TMatrixInterface>(QString());
    net_->SetCaptionTexts(QString::fromUtf8(kNetCaptionPrefix), QString::fromUtf8(kNetCaptionSuffix));
    net_->SetView(netView_);
    Dimension(*net_, 2, packets_->RowCount());

    settings_.SetMeters(packets_->RowCount() - 1);
    settings_.SetPacketDepth(packets_->ColCount() - 1);
    settings_.SetDayDepth(days_->ColCount() - 1);

    MeterRecord newest;
    for (int meter = 1; meter < packets_->RowCount(); ++meter) {
        if (packets_->GetMeterRecord(newest, 1, meter)) {
            net_->PutMeterRecord(newest, meter, 1);
        }
    }
    RedrawAll();
    return lastError_.isEmpty();
}

void MeterDatabase::Close() {
    packets_.reset();
    days_.reset();
    net_.reset();
}

bool MeterDatabase::Save() {
    lastError_.clear();
    if (!IsOpen()) {
        return true;
    }
    // A store detached from a damaged file that could not be renamed is not saved (the user was
    // told when it was loaded).
    for (TMatrixInterface* store : {packets_.get(), days_.get()}) {
        if (!store->FileName().isEmpty() && !store->Save(busy_)) {
            AddError(store->LastError());
        }
    }
    return lastError_.isEmpty();
}

bool MeterDatabase::SaveAndClose() {
    const bool saved = Save();
    Close();
    return saved;
}

bool MeterDatabase::Apply() {
    lastError_.clear();
    if (!IsOpen()) {
        return true;
    }
    const int rows = settings_.Meters() + 1;
    Dimension(*packets_, rows, settings_.PacketDepth() + 1);
    Dimension(*days_, rows, settings_.DayDepth() + 1);
    if (!net_->SetColCount(packets_->RowCount())) {
        AddError(QStringLiteral("Недостаточно памяти для таблицы сети."));
    }
    RedrawAll();
    if (hooks_ != nullptr) {
        hooks_->ReReadSelectedMeter();
    }
    return lastError_.isEmpty();
}

bool MeterDatabase::EraseFiles() {
    lastError_.clear();
    if (!IsOpen()) {
        return true;
    }
    for (const QString& name : {PacketsFileName(portName_), DaysFileName(portName_)}) {
        QFile file(name);
        if (file.exists() && !file.remove()) {
            AddError(
                QStringLiteral("Не удалось удалить файл «%1»: %2").arg(Native(name), file.errorString()));
        }
    }
    return lastError_.isEmpty();
}

void MeterDatabase::RedrawAll() {
    for (TMatrixInterface* store : {net_.get(), packets_.get(), days_.get()}) {
        store->UpdateCaption();
    }
    if (hooks_ != nullptr) {
        hooks_->RedrawTable(StorePage::Net);
        hooks_->RedrawTable(StorePage::Packets);
        hooks_->RedrawTable(StorePage::Days);
    }
}

IntakeResult MeterDatabase::StoreMeterPacket(const PacketFrame& frame) {
    if (!IsOpen()) {
        return IntakeResult::Ignored;
    }
    return lumvaris::meterdata::StoreMeterPacket(Stores(), frame, clock_, hooks_);
}

MonthBufferResult MeterDatabase::StoreMonthBuffer(const PacketFrame& frame) {
    if (!IsOpen()) {
        return {};
    }
    return lumvaris::meterdata::StoreMonthBuffer(Stores(), frame, clock_, hooks_);
}

void MeterDatabase::ShowClosedCaptions() const {
    const std::pair<IStoreView*, QString> captions[] = {
        {netView_,
         QString::fromUtf8(kNetCaptionPrefix) + QLatin1Char('0') + QString::fromUtf8(kNetCaptionSuffix)},
        {packetsView_, QString::fromUtf8(kPacketsCaptionPrefix) + QLatin1Char('0') +
                           QString::fromUtf8(kPacketsCaptionSuffix)},
        {daysView_,
         QString::fromUtf8(kDaysCaptionPrefix) + QLatin1Char('0') + QString::fromUtf8(kDaysCaptionSuffix)},
    };
    for (const auto& [view, caption] : captions) {
        if (view != nullptr) {
            view->SetCaption(caption);
        }
    }
}

}  // namespace lumvaris::meterdata
