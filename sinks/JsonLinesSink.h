#pragma once

#include "sinks/LineFileSink.h"

namespace lumvaris::sinks {

// Readings as JSON Lines: one compact JSON object (ReadingToJson) per line, LF ends, UTF-8; "-" is
// standard output, flushed after every Write.
class JsonLinesSink final : public LineFileSink {
  public:
    explicit JsonLinesSink(SinkAddress address, Mode mode = Mode::Append)
        : LineFileSink(std::move(address), mode) {}

  protected:
    QByteArray Header() const override { return {}; }
    char FirstByte() const override { return '{'; }
    void Encode(std::span<const Reading> readings, QByteArray& out) override;
};

}  // namespace lumvaris::sinks
