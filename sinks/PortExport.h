#pragma once

#include "sinks/ISink.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <span>
#include <vector>

namespace lumvaris::sinks {

// What to export: the local database files of one port, and the origin written into each reading.
struct PortExportOptions {
    QString ProgramDirectory;  // where the port's "-PACKETS.bin" and "-DAYS.bin" lie
    QString PortName;
    QString Site;
    QString UartId;  // four hex digits, or empty: the files do not say which concentrator
    QLocale Locale = QLocale::system();
    int BatchSize = 10000;  // readings per write (one transaction)
    // After each batch (and once with 0 before the first): the packets of the files handled so far
    // and their total (repeats included, so the count reaches the total while fewer readings may
    // be written). Returning false cancels the export.
    std::function<bool(qint64 written, qint64 total)> Progress;
};

struct PortExportResult {
    bool Ok = false;
    bool Cancelled = false;
    qint64 Written = 0;         // readings handed to every sink
    qint64 Total = 0;           // packets in the two files and the journal, repeats included
    std::vector<qint64> Added;  // per sink, the readings it did not hold before
    int FailedSink = -1;        // the sink whose write failed, when one did
    QString Error;              // for the user, in Russian; empty when Ok or cancelled
};

// Writes every packet of the port's packet store and day store, and the records of its journal
// that the files do not hold yet (filed since the last save, or before a kill), to each of the
// sinks, which come open. The files are only read: no lock is taken and nothing is changed, so the
// export may run while the program has the port open. The day store repeats records of the packet
// store; each reading is written once (one per meter, type, time and words). The local times are
// read in the zone recorded beside the files (MeterDatabase::kZoneSuffix), this machine's when
// there is none. The files do not say whether a record was heard live or read from a buffer: a
// record stamped on a whole minute (0 s, 0 ms) is taken as a buffer record, since the
// concentrator's buffers keep minutes only; any other as live (the journal says which).
// On success every sink is finished (a file is put in place); after a failure or a cancel none is,
// so a file sink leaves no file behind, and a database keeps the batches it committed.
PortExportResult ExportPortDatabase(const PortExportOptions& options, std::span<ISink* const> sinks);

}  // namespace lumvaris::sinks
