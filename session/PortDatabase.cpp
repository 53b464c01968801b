#include "session/PortDatabase.h"

namespace lumvaris::session {

PortDatabase::PortDatabase(const QString& programDirectory, const meterdata::IClock& clock)
    : database_(programDirectory, clock) {}

DatabaseOpen PortDatabase::Open(const QString& portName) {
    DatabaseOpen open;
    const bool ok = database_.Open(portName);
    open.inUse = database_.InUse();
    if (!ok) {
        open.result = Result::Failed(database_.LastError());
    }
    return open;
}

Result PortDatabase::Save() {
    return database_.Save() ? Result::Done() : Result::Failed(database_.LastError());
}

void PortDatabase::StoreLivePacket(const link::FrameBuffer& frame) {
    database_.StoreMeterPacket(
        {link::SourceAddress(frame), link::Payload(frame), link::PayloadLength(frame)});
}

meterdata::IntakeResult PortDatabase::StoreBufferRecord(const meterdata::PacketFrame& frame) {
    return database_.StoreMeterPacket(frame);
}

meterdata::MonthBufferResult PortDatabase::StoreMonthBuffer(const meterdata::PacketFrame& frame) {
    return database_.StoreMonthBuffer(frame);
}

void PortDatabase::ApplyNetworkSize(int meters) {
    meterdata::DatabaseSettings settings = database_.Settings();
    settings.SetMeters(meters);
    database_.SetSettings(settings);
    if (database_.IsOpen()) {
        database_.Apply();
    }
}

}  // namespace lumvaris::session
