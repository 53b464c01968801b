#include "LongCommandAssembler.h"

#include <cstdio>

#include "link/Frame.h"

namespace lumvaris::sim {

std::optional<LongCommand> LongCommandAssembler::Header(std::uint16_t destination,
                                                        const std::uint8_t* payload) {
    std::optional<LongCommand> abandoned;
    if (collecting_) {
        abandoned = LongCommand{destination_, type_, {}, false, "abandoned: a new header came first"};
    }
    collecting_ = false;
    const std::uint16_t repeated = link::ReadWord(payload + 1);
    if (repeated != destination) {
        char text[96];
        std::snprintf(text, sizeof text, "header names %04X but travels to %04X", repeated, destination);
        return LongCommand{destination, payload[3], {}, false, text};
    }
    if (payload[4] == 0) {
        return LongCommand{destination, payload[3], {}, false, "header announces no blocks"};
    }
    collecting_ = true;
    destination_ = destination;
    type_ = payload[3];
    blocks_ = payload[4];
    body_.clear();
    return abandoned;
}

std::optional<LongCommand> LongCommandAssembler::Block(std::uint16_t destination,
                                                       const std::uint8_t* payload) {
    if (!collecting_) {
        return LongCommand{destination, 0, {}, false, "block without a header"};
    }
    if (destination != destination_) {
        collecting_ = false;
        return LongCommand{destination_, type_, {}, false, "block for another address"};
    }
    body_.insert(body_.end(), payload + 1, payload + 5);
    if (body_.size() < blocks_ * 4) {
        return std::nullopt;
    }
    collecting_ = false;
    return Finish();
}

LongCommand LongCommandAssembler::Finish() {
    LongCommand c{destination_, type_, {}, false, {}};
    const std::size_t size = body_.size();  // a multiple of 4, at least 4
    const std::size_t fill = body_[size - 4];
    if (fill > 3 || size < 4 + fill) {
        c.problem = "bad fill count";
        return c;
    }
    const std::size_t count = size - 4 - fill;
    for (std::size_t i = count; i < count + fill; ++i) {
        if (body_[i] != 0) {
            c.problem = "fill bytes not zero";
            return c;
        }
    }
    const std::uint32_t crc = link::Crc24(body_.data(), count);
    const std::uint32_t stored = body_[size - 3] | body_[size - 2] << 8 | body_[size - 1] << 16;
    c.bytes.assign(body_.begin(), body_.begin() + static_cast<std::ptrdiff_t>(count));
    if (crc != stored) {
        char text[64];
        std::snprintf(text, sizeof text, "CRC-24 %06X, body says %06X", crc, stored);
        c.problem = text;
        return c;
    }
    c.crcOk = true;
    return c;
}

}  // namespace lumvaris::sim
