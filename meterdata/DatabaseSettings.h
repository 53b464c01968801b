#pragma once

namespace lumvaris::meterdata {

// The dimensions of the local database as the settings dialog holds them. Every value is limited
// to its range when set; the step is what the dialog's arrow buttons add.
class DatabaseSettings {
  public:
    static constexpr int kMetersMin = 16, kMetersMax = 4096, kMetersStep = 16, kMetersDefault = 256;
    static constexpr int kDepthMin = 10, kDepthMax = 1000, kDepthStep = 10, kDepthDefault = 64;

    int Meters() const { return meters_; }
    int PacketDepth() const { return packetDepth_; }
    int DayDepth() const { return dayDepth_; }

    void SetMeters(int value);
    void SetPacketDepth(int value);
    void SetDayDepth(int value);

    static int ClampMeters(int value);
    static int ClampDepth(int value);

    friend bool operator==(const DatabaseSettings&, const DatabaseSettings&) = default;

  private:
    int meters_ = kMetersDefault;
    int packetDepth_ = kDepthDefault;
    int dayDepth_ = kDepthDefault;
};

}  // namespace lumvaris::meterdata
