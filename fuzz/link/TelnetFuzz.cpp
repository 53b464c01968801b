// Feeds hostile bytes to both roles of the Telnet codec in pieces whose sizes the input also
// chooses, and checks that the data handed on never outgrows the input, that the answers stay in
// proportion to it, and that cutting the input differently changes nothing.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/Telnet.h"

namespace {

using lumvaris::link::TelnetCodec;

struct Output {
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> reply;
};

Output FeedInPieces(TelnetCodec::Role role, std::uint8_t cut, const std::uint8_t* bytes, std::size_t size) {
    TelnetCodec codec(role);
    codec.SetBaudRateHandler([](int requested) { return requested; });
    Output out;
    const std::size_t piece = 1 + cut % 17;
    for (std::size_t at = 0; at < size; at += piece) {
        codec.Feed(bytes + at, size - at < piece ? size - at : piece, out.data, out.reply);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    for (TelnetCodec::Role role : {TelnetCodec::Role::Client, TelnetCodec::Role::Server}) {
        const Output cut = FeedInPieces(role, data[0], data + 1, size - 1);
        const Output byByte = FeedInPieces(role, 0xFF, data + 1, size - 1);
        TelnetCodec once(role);
        once.SetBaudRateHandler([](int requested) { return requested; });
        Output at;
        once.Feed(data + 1, size - 1, at.data, at.reply);
        if (cut.data.size() > size - 1 || cut.reply.size() > 2 * (size - 1) || cut.data != at.data ||
            cut.reply != at.reply || byByte.data != at.data || byByte.reply != at.reply) {
            std::abort();
        }
    }
    return 0;
}
