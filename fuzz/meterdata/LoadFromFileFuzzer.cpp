// Hostile database files: whatever the bytes, loading never reads or writes outside a buffer, a
// store never claims more records than its buffer holds, and every loaded record turns into text.
#include "meterdata/IClock.h"
#include "meterdata/RecordTextFormatter.h"
#include "meterdata/TMatrixInterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdlib>

namespace {

class FixedClock : public lumvaris::meterdata::IClock {
  public:
    QDateTime Now() const override { return QDateTime(QDate(2024, 1, 1), QTime(12, 0)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace lumvaris::meterdata;
    static const QString name =
        QDir::temp().filePath(QStringLiteral("lumvaris-fuzz-%1.bin").arg(QCoreApplication::applicationPid()));
    {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    TMatrixInterface store(name);
    const LoadResult result = store.LoadFromFile();
    if (result.Status == LoadStatus::KeptAside)
        QFile::remove(result.KeptAsideName);
    QFile::remove(name);
    if (store.Capacity() < store.Count() || store.ColCount() < 1 || store.RowCount() < 1)
        std::abort();

    static FixedClock clock;
    static RecordTextFormatter formatter(clock, QLocale(QLocale::Russian, QLocale::Russia));
    QStringList texts;
    int shown = 0;
    for (int row = 0; row < store.RowCount() && shown < 64; ++row) {
        for (int col = 0; col < store.ColCount() && shown < 64; ++col, ++shown) {
            formatter.PositionTexts(store, texts, col, row, 45292.5);
            if (texts.size() != RecordTextFormatter::kTextCount)
                std::abort();
        }
    }
    return 0;
}
