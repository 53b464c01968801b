#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>

#include "monitor/TrafficFilter.h"
#include "monitor/TrafficLog.h"

namespace lumvaris::monitor {

// The monitor's table over the traffic log: the entries that pass the filter, oldest first. The
// table follows the log only when told (Publish), so a burst of frames costs one insertion of
// rows, and the texts of a row are made when it is painted or read. While paused the table keeps
// its rows (only those the log lets go leave it) and the log goes on recording.
class TrafficModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TrafficModel(const TrafficLog& log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // DisplayRole: the texts; ForegroundRole: maroon for a bad checksum and for dropped bytes.
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Brings the table up to the log: removes the rows whose entries the log has let go (its
    // bound, a clear), then, unless paused, appends the new entries that pass the filter.
    // Returns the number of rows appended.
    int Publish();
    // A new filter: the table is made again from every entry the log holds (up to the pause).
    void SetFilter(const TrafficFilter& filter);
    const TrafficFilter& Filter() const { return filter_; }
    void SetPaused(bool paused) { paused_ = paused; }
    bool Paused() const { return paused_; }

    // The entry of a row, or null for a row whose entry the log has let go since the last Publish.
    const TrafficEntry* Entry(int row) const;

  private:
    struct CachedTexts {
        std::uint64_t sequence = UINT64_MAX;
        QStringList texts;
    };
    // The rows painted at one time fit many times over.
    static constexpr std::size_t kCacheSize = 512;

    const QStringList* Texts(int row) const;

    const TrafficLog& log_;
    TrafficFilter filter_;
    bool paused_ = false;
    std::deque<std::uint64_t> rows_;  // sequence numbers of the log's entries shown
    std::uint64_t next_ = 0;          // the first entry not yet looked at
    mutable std::array<CachedTexts, kCacheSize> cache_;
};

}  // namespace lumvaris::monitor
