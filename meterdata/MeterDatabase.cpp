#include "meterdata/MeterDatabase.h"

#include <QCoreApplication>
#include "meterdata/DamagedFile.h"
#include "meterdata/FileProblem.h"
#include "meterdata/IMeterDataHooks.h"
#include "meterdata/IStoreView.h"
#include "meterdata/JournalWriter.h"
#include "meterdata/MeterJournal.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimeZone>

#include <cstdlib>
#include <new>
#include <utility>

namespace lumvaris::meterdata {

namespace {

constexpr qint64 kUnnamedLockAgeMs = 5000;

const char* const kNetCaptionPrefix = QT_TRANSLATE_NOOP("meterdata::MeterDatabase", "Ёмкость сети ");
const char* const kNetCaptionSuffix = QT_TRANSLATE_NOOP("meterdata::MeterDatabase", " счётчиков");
const char* const kPacketsCaptionPrefix = QT_TRANSLATE_NOOP("meterdata::MeterDatabase", "Последние ");
const char* const kPacketsCaptionSuffix = QT_TRANSLATE_NOOP("meterdata::MeterDatabase", " пакетов");
const char* const kDaysCaptionPrefix = QT_TRANSLATE_NOOP("meterdata::MeterDatabase", "Последние ");
const char* const kDaysCaptionSuffix = QT_TRANSLATE_NOOP("meterdata::MeterDatabase", " дней");

QString Caption(const char* text) {
    return QCoreApplication::translate("meterdata::MeterDatabase", text);
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

}  // namespace

MeterDatabase::MeterDatabase(QString programDirectory, const IClock& clock)
    : programDirectory_(std::move(programDirectory)), clock_(clock) {}

MeterDatabase::~MeterDatabase() {
    // Whoever listens may be gone before the database (it was set from outside): nobody is told.
    filed_ = nullptr;
    Close();
}

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

QString MeterDatabase::DatabaseName(const QString& portName) {
    // A network address ("tcp://host:4001", "rfc2217://[::1]:4001"): the scheme, the host and the
    // port, so that no two addresses share files and none falls on a local device's name.
    static const QRegularExpression kScheme(QStringLiteral("^[A-Za-z][A-Za-z0-9]*://"));
    const qsizetype scheme =
        kScheme.match(portName).hasMatch() ? portName.indexOf(QStringLiteral("://")) : -1;
    if (scheme > 0) {
        QString rest = portName.mid(scheme + 3);
        while (rest.endsWith(QLatin1Char('/'))) {
            rest.chop(1);
        }
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        QString host = colon >= 0 ? rest.left(colon) : rest;
        const QString port = colon >= 0 ? rest.mid(colon + 1) : QString();
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
            host = host.mid(1, host.size() - 2);
        }
        QString name = portName.left(scheme).toLower() + QLatin1Char('-');
        for (const QChar c : host) {
            const bool kept =
                (c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('.') || c == QLatin1Char('-');
            name += kept ? c.toLower() : QLatin1Char('_');
        }
        for (const QChar c : port) {
            if (!c.isDigit() || c.unicode() >= 128) {
                return name + QStringLiteral("-_");
            }
        }
        return name + QLatin1Char('-') + port;
    }
    static const QRegularExpression kSeparators(QStringLiteral("[/\\\\:]"));
    const QStringList parts = portName.split(kSeparators, Qt::SkipEmptyParts);
    return parts.isEmpty() ? QString() : parts.last();
}

QString MeterDatabase::DatabaseFileName(const QString& programDirectory, const QString& portName,
                                        const char* suffix) {
    const QString port = DatabaseName(portName);
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

QString MeterDatabase::JournalFileName(const QString& portName) const {
    return DatabaseFileName(programDirectory_, portName, kJournalSuffix);
}

QString MeterDatabase::LockFileName(const QString& portName) const {
    return DatabaseFileName(programDirectory_, portName, kLockSuffix);
}

bool MeterDatabase::TakeLock(const QString& portName) {
    lock_ = std::make_unique<QLockFile>(LockFileName(portName));
    // Only a lock whose process has ended is stale: an instance may keep its port open for days.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        return true;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    const bool named = lock_->getLockInfo(&pid, &host, &application) && pid > 0;
    if (lock_->error() == QLockFile::LockFailedError && !named) {
        // Empty, cut short or unreadable (a power cut right after its creation): it names no
        // process, so none holds it. QLockFile writes the contents right after creating the file:
        // a lock some seconds old is not another copy in the middle of taking it.
        const QFileInfo file(LockFileName(portName));
        const qint64 age = std::abs(file.lastModified().msecsTo(QDateTime::currentDateTimeUtc()));
        if (age >= kUnnamedLockAgeMs && lock_->removeStaleLockFile() && lock_->tryLock(0)) {
            return true;
        }
    }
    if (lock_->error() != QLockFile::LockFailedError) {
        // A directory where no lock can be made cannot take the files either; the write check
        // of the open tells the user.
        lock_.reset();
        return true;
    }
    lock_->getLockInfo(&pid, &host, &application);
    lock_.reset();
    inUse_ = true;
    QString holder =
        pid > 0 ? QCoreApplication::translate("meterdata::MeterDatabase", "процесс %1").arg(pid)
                : QCoreApplication::translate("meterdata::MeterDatabase",
                                              "файл блокировки «%1» не называет процесса и не удаляется")
                      .arg(Native(LockFileName(portName)));
    if (!application.isEmpty()) {
        holder += QStringLiteral(" «%1»").arg(application);
    }
    if (!host.isEmpty()) {
        holder += QCoreApplication::translate("meterdata::MeterDatabase", ", компьютер %1").arg(host);
    }
    lastError_ = QCoreApplication::translate(
                     "meterdata::MeterDatabase",
                     "Файлы локальной базы данных «%1» и «%2» уже используются другой копией "
                     "программы (%3).\nЭта копия их не изменит: соединение не открыто. Закройте "
                     "другую копию программы или выберите порт с другим именем.")
                     .arg(Native(PacketsFileName(portName)), Native(DaysFileName(portName)), holder);
    return false;
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
    AddError(QCoreApplication::translate("meterdata::MeterDatabase",
                                         "Недостаточно памяти для локальной базы данных (%1 x %2 записей).")
                 .arg(rows)
                 .arg(cols));
    return false;
}

std::unique_ptr<TMatrixInterface> MeterDatabase::OpenStore(const QString& fileName, const char* prefix,
                                                           const char* suffix, IStoreView* view, int depth) {
    auto store = std::make_unique<TMatrixInterface>(fileName);
    store->SetCaptionTexts(Caption(prefix), Caption(suffix));
    store->SetView(view);
    if (fileName.isEmpty()) {
        Dimension(*store, settings_.Meters() + 1, depth + 1);
        return store;
    }
    const LoadResult loaded = store->Load(busy_);
    if (loaded.Status == LoadStatus::KeptAside) {
        notices_ << QCoreApplication::translate(
                        "meterdata::MeterDatabase",
                        "Файл локальной базы данных «%1» повреждён и не может быть загружен.\n"
                        "Он сохранён без изменений под именем «%2»; данные порта "
                        "накапливаются в новом файле.")
                        .arg(Native(fileName), Native(loaded.KeptAsideName));
    }
    if (loaded.Status == LoadStatus::Failed) {
        writeProblems_ << loaded.Error;
    } else if (const QString problem = WriteProblem(fileName); !problem.isEmpty()) {
        writeProblems_ << problem;
    }
    if (store->IsBlank()) {
        Dimension(*store, settings_.Meters() + 1, depth + 1);
    }
    return store;
}

bool MeterDatabase::Open(const QString& portName) {
    Close();
    lastError_.clear();
    inUse_ = false;
    portName_ = portName;
    if (keepsFiles_ && !TakeLock(portName)) {
        return false;
    }
    if (!keepsFiles_) {
        settings_.SetPacketDepth(DatabaseSettings::kDepthMin);
        settings_.SetDayDepth(DatabaseSettings::kDepthMin);
    }
    const QString none;
    packets_ = OpenStore(keepsFiles_ ? PacketsFileName(portName) : none, kPacketsCaptionPrefix,
                         kPacketsCaptionSuffix, packetsView_, settings_.PacketDepth());
    days_ = OpenStore(keepsFiles_ ? DaysFileName(portName) : none, kDaysCaptionPrefix, kDaysCaptionSuffix,
                      daysView_, settings_.DayDepth());

    net_ = std::make_unique<TMatrixInterface>(QString());
    net_->SetCaptionTexts(Caption(kNetCaptionPrefix), Caption(kNetCaptionSuffix));
    net_->SetView(netView_);
    Dimension(*net_, 2, packets_->RowCount());
    if (keepsFiles_) {
        OpenJournal();
    }

    settings_.SetMeters(packets_->RowCount() - 1);
    settings_.SetPacketDepth(packets_->ColCount() - 1);
    settings_.SetDayDepth(days_->ColCount() - 1);

    MeterRecord newest;
    for (int meter = 1; meter < packets_->RowCount(); ++meter) {
        if (packets_->GetMeterRecord(newest, 1, meter)) {
            net_->PutMeterRecord(newest, meter, 1);
        }
    }
    changed_ = recovered_ > 0;
    savingFails_ = !writeProblems_.isEmpty();
    if (savingFails_) {
        notices_ << QCoreApplication::translate(
                        "meterdata::MeterDatabase",
                        "Данные порта «%1» не будут сохраняться в локальной базе данных, "
                        "пока не устранена причина:\n%2")
                        .arg(portName, writeProblems_.join(QLatin1Char('\n')));
    }
    RedrawAll();
    if (keepsFiles_) {
        WriteZoneIfMissing();
    }
    if (filed_ != nullptr) {
        filed_->DatabaseOpened(programDirectory_, portName);
    }
    return lastError_.isEmpty();
}

// Reads the journal, files again what the stores lack, and starts its writer. A damaged journal is
// renamed aside like a damaged database file; the records in it that pass their check still come
// back, and a fresh journal holds them until the next save.
void MeterDatabase::OpenJournal() {
    const QString name = JournalFileName(portName_);
    const QFileInfo info(name);
    JournalContents contents;
    if (info.isFile()) {
        QFile file(name);
        QByteArray bytes;
        QString unreadable;
        try {
            if (!file.open(QIODevice::ReadOnly)) {
                unreadable = file.errorString();
            } else {
                bytes = file.readAll();
                if (file.error() != QFileDevice::NoError) {
                    unreadable = file.errorString();
                }
            }
        } catch (const std::bad_alloc&) {
            unreadable = QCoreApplication::translate("meterdata::MeterDatabase", "недостаточно памяти");
        }
        if (unreadable.isEmpty()) {
            contents = ReadJournal(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   static_cast<std::size_t>(bytes.size()));
        } else {
            contents.State = JournalState::Damaged;
            contents.Damage = unreadable;
        }
    }
    const bool damaged = contents.State == JournalState::Damaged;
    QString keptAside;
    if (damaged) {
        keptAside = RenameDamagedFile(name);
        if (keptAside.isEmpty()) {
            notices_ << QCoreApplication::translate(
                            "meterdata::MeterDatabase",
                            "Журнал локальной базы данных «%1» повреждён (%2) и не может быть "
                            "переименован; журнал этого порта не ведётся, чтобы файл остался "
                            "нетронутым.")
                            .arg(Native(name), contents.Damage);
        } else {
            notices_ << QCoreApplication::translate(
                            "meterdata::MeterDatabase",
                            "Журнал локальной базы данных «%1» повреждён (%2).\nОн сохранён без "
                            "изменений под именем «%3». Записи, прошедшие проверку (%4), возвращены "
                            "в базу данных; журнал порта начат заново.")
                            .arg(Native(name), contents.Damage, Native(keptAside))
                            .arg(contents.Entries.size());
        }
    }
    recovered_ = ReplayJournal(Stores(), contents.Entries, filed_);
    if (damaged && keptAside.isEmpty()) {
        return;
    }
    auto journal = std::make_unique<JournalWriter>();
    QString error;
    if (journal->Start(name, damaged, contents.Entries, contents.GoodBytes, error)) {
        journal_ = std::move(journal);
    } else if (writeProblems_.isEmpty()) {
        notices_ << QCoreApplication::translate(
                        "meterdata::MeterDatabase",
                        "Журнал локальной базы данных не ведётся: %1\nДанные порта «%2» сохраняются "
                        "раз в минуту; принятое после последнего сохранения пропадёт, если программа "
                        "завершится аварийно.")
                        .arg(error, portName_);
    }
}

void MeterDatabase::WriteZoneIfMissing() {
    const QString name = DatabaseFileName(programDirectory_, portName_, kZoneSuffix);
    if (QFileInfo::exists(name) || savingFails_) {
        return;
    }
    QSaveFile file(name);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QTimeZone::systemTimeZoneId() + '\n');
        file.commit();
    }
}

QString MeterDatabase::RecoveredText() const {
    return recovered_ > 0 ? lumvaris::meterdata::RecoveredText(recovered_) : QString();
}

void MeterDatabase::CommitJournal() {
    if (journal_) {
        journal_->Commit();
    }
}

QString MeterDatabase::JournalProblem() const {
    return journal_ ? journal_->Problem() : QString();
}

void MeterDatabase::FlushJournal() {
    if (journal_) {
        journal_->Flush();
    }
}

void MeterDatabase::RecordFiled(const MeterRecord& record, RecordSource source) {
    if (journal_) {
        journal_->Add(record, source);
    }
    if (filed_ != nullptr) {
        filed_->RecordFiled(record, source);
    }
}

void MeterDatabase::DeliverNotices() {
    const QStringList notices = std::exchange(notices_, {});
    if (hooks_ == nullptr) {
        return;
    }
    for (const QString& notice : notices) {
        hooks_->NotifyUser(notice);
    }
}

void MeterDatabase::Close() {
    if (filed_ != nullptr && IsOpen()) {
        filed_->DatabaseClosing();
    }
    // The journal's last records are on the disk before the lock goes.
    if (journal_) {
        journal_->Stop();
        journal_.reset();
    }
    recovered_ = 0;
    packets_.reset();
    days_.reset();
    net_.reset();
    lock_.reset();
    notices_.clear();
    writeProblems_.clear();
    changed_ = false;
    savingFails_ = false;
}

bool MeterDatabase::Save() {
    lastError_.clear();
    if (!IsOpen()) {
        return true;
    }
    // A store detached from a damaged file that could not be renamed is not saved (the user was
    // told when it was loaded); the journal then keeps its records.
    bool savedBoth = true;
    for (TMatrixInterface* store : {packets_.get(), days_.get()}) {
        if (store->FileName().isEmpty()) {
            savedBoth = false;
        } else if (!store->Save(busy_)) {
            AddError(store->LastError());
        }
    }
    savingFails_ = !lastError_.isEmpty();
    if (!savingFails_) {
        changed_ = false;
        if (savedBoth && journal_) {
            journal_->SavedAllAdded();
        }
    }
    return !savingFails_;
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
        AddError(
            QCoreApplication::translate("meterdata::MeterDatabase", "Недостаточно памяти для таблицы сети."));
    }
    changed_ = true;
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
    if (journal_) {
        journal_->Abandon();
        journal_.reset();
    }
    for (const QString& name :
         {PacketsFileName(portName_), DaysFileName(portName_), JournalFileName(portName_)}) {
        QFile file(name);
        if (file.exists() && !file.remove()) {
            AddError(
                QCoreApplication::translate("meterdata::MeterDatabase", "Не удалось удалить файл «%1»: %2")
                    .arg(Native(name), file.errorString()));
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
    const IntakeResult result = lumvaris::meterdata::StoreMeterPacket(Stores(), frame, clock_, hooks_, this);
    if (result == IntakeResult::Stored) {
        changed_ = true;
    }
    return result;
}

MonthBufferResult MeterDatabase::StoreMonthBuffer(const PacketFrame& frame) {
    if (!IsOpen()) {
        return {};
    }
    const MonthBufferResult result =
        lumvaris::meterdata::StoreMonthBuffer(Stores(), frame, clock_, hooks_, this);
    if (result.Stored > 0) {
        changed_ = true;
    }
    return result;
}

void MeterDatabase::ShowClosedCaptions() const {
    const std::pair<IStoreView*, QString> captions[] = {
        {netView_, Caption(kNetCaptionPrefix) + QLatin1Char('0') + Caption(kNetCaptionSuffix)},
        {packetsView_, Caption(kPacketsCaptionPrefix) + QLatin1Char('0') + Caption(kPacketsCaptionSuffix)},
        {daysView_, Caption(kDaysCaptionPrefix) + QLatin1Char('0') + Caption(kDaysCaptionSuffix)},
    };
    for (const auto& [view, caption] : captions) {
        if (view != nullptr) {
            view->SetCaption(caption);
        }
    }
}

}  // namespace lumvaris::meterdata
