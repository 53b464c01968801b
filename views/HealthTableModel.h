#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace lumvaris::meterdata {
class NetworkHealth;
}

namespace lumvaris::views {

// The table of the network's health: one row per meter heard since the connection opened, sorted
// by any column (ties by meter number). Each redraw takes a snapshot of the counts; the texts are
// made when a cell is painted or read. A change of order moves the selection with its meter.
class HealthTableModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kMeter, kPackets, kLastHour, kElapsed, kLevel, kMinLevel, kMaxLevel, kMark, kColumnCount };
    // "Сч.#", "Пакетов", "За час", "Прошло", "Уровень", "Мин.", "Макс.", "Отметка"
    static QStringList Headers();

    explicit HealthTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the texts; ForegroundRole: maroon for a meter marked not heard.
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The meters 1..meters of the health as of nowMs; a meter not heard for longer than silentAfterMs
    // is marked "не слышен".
    void Show(const meterdata::NetworkHealth& health, int meters, std::int64_t nowMs,
              std::int64_t silentAfterMs);
    int MeterOfRow(int row) const;

    // "0:00:05", "27:03:15": the time since the last packet, hours not bounded; "???" when the
    // clock stands before it.
    static QString ElapsedText(std::int64_t elapsedMs);

  private:
    struct Row {
        int meter = 0;
        int packets = 0;
        int lastHour = 0;
        std::int64_t elapsedMs = 0;
        std::uint8_t level = 0;
        std::uint8_t minLevel = 0;
        std::uint8_t maxLevel = 0;
        bool silent = false;
    };

    void Order(std::vector<Row>& rows) const;
    void Apply(std::vector<Row> next);
    QString Text(const Row& row, int column) const;

    std::vector<Row> rows_;
    int sortColumn_ = kMeter;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

}  // namespace lumvaris::views
