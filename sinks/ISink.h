#pragma once

#include "sinks/Reading.h"

#include <QString>

#include <span>

namespace lumvaris::sinks {

// A destination of readings. A sink is used from one thread at a time: the thread that opened it
// (a database connection belongs to the thread that made it). Failures return false with a message
// in Russian in LastError().
class ISink {
  public:
    virtual ~ISink() = default;

    // The address the sink was made from, for messages.
    virtual const QString& Url() const = 0;
    // Connects, or creates the file; a database gets its tables when they are missing.
    virtual bool Open() = 0;
    // Writes the readings as one unit: a database commits all or none of them. A reading the
    // database already holds (same site, meter, type, time and words) is left as it is, so a
    // batch may be written again after a failure without adding anything twice.
    // `added`, when given, receives how many of them the destination did not hold before (a
    // database skips those it holds; a file appends them all).
    virtual bool Write(std::span<const Reading> readings, qint64* added = nullptr) = 0;
    // Completes what was written: a file sink puts its file in place (until then an earlier file
    // of that name stays as it was); standard output is flushed. Databases have nothing to do.
    virtual bool Finish() = 0;
    // Releases the connection or the file; a file not finished is discarded.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual const QString& LastError() const = 0;
    // The last failure is one that waiting will not mend (a refused login, a database that does
    // not exist, a file of another kind): the engineer must act.
    virtual bool Refused() const { return false; }
    // Any thread: makes a write or open that hangs (a server that stopped answering) fail soon.
    virtual void Abort() {}
};

}  // namespace lumvaris::sinks
