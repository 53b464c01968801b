#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumvaris::sim {

// A long PLC command as it arrived: a header frame announcing B blocks, then B frames of 4 body
// bytes. The body is the command bytes, zero fill to a multiple of 4, one byte counting the fill,
// and the CRC-24 of the command bytes, low byte first.
struct LongCommand {
    std::uint16_t destination = 0;  // meter address 0x1000 + n, or 0x1FFF for all meters
    std::uint8_t type = 0;
    std::vector<std::uint8_t> bytes;  // the command bytes (empty when the body is unusable)
    bool crcOk = false;
    std::string problem;  // why the command was not taken; empty when crcOk
};

class LongCommandAssembler {
  public:
    // payload: the five payload bytes of the frame (type code first). Each returns the command it
    // completes or abandons, if any.
    std::optional<LongCommand> Header(std::uint16_t destination, const std::uint8_t* payload);
    std::optional<LongCommand> Block(std::uint16_t destination, const std::uint8_t* payload);
    void Reset() { collecting_ = false; }
    bool Collecting() const { return collecting_; }

  private:
    LongCommand Finish();

    bool collecting_ = false;
    std::uint16_t destination_ = 0;
    std::uint8_t type_ = 0;
    std::size_t blocks_ = 0;
    std::vector<std::uint8_t> body_;
};

}  // namespace lumvaris::sim
