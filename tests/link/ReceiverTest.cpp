#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>

#include "link/Receiver.h"
#include "support/FakeSerialPort.h"

namespace lumvaris::link {
namespace {

using testing::FakeSerialPort;
using testing::Hex;
using Bytes = std::vector<std::uint8_t>;

Bytes MakeFrame(std::uint16_t source, std::uint16_t destination, const Bytes& payload) {
    FrameBuffer f{};
    FillHeader(f, source, destination, static_cast<std::uint8_t>(payload.size()),
               payload.empty() ? 0 : payload[0]);
    std::copy(payload.begin(), payload.end(), f.begin() + kOffsetPayload);
    const std::size_t n = CompleteFrame(f);
    return {f.begin(), f.begin() + static_cast<std::ptrdiff_t>(n)};
}

struct Dispatched {
    char kind;  // 'R' reply, 'M' meter packet
    Bytes frame;
    bool operator==(const Dispatched&) const = default;
};

struct RecordingConsumer : IFrameConsumer {
    void HandleReply(FrameBuffer& f) override {
        log.push_back({'R', {f.begin(), f.begin() + static_cast<std::ptrdiff_t>(FrameLength(f))}});
        if (onReply) {
            onReply(f);
        }
    }
    void HandleMeterPacket(const FrameBuffer& f) override {
        log.push_back({'M', {f.begin(), f.begin() + static_cast<std::ptrdiff_t>(FrameLength(f))}});
    }
    void ShowByteCounter(std::uint32_t n) override { counterShown.push_back(n); }

    std::vector<Dispatched> log;
    std::vector<std::uint32_t> counterShown;
    std::function<void(FrameBuffer&)> onReply;
};

// What the link observer hears, as text: "D 00 13 FE" for dropped bytes, "R <frame>" for a good
// frame, "X <frame>" for one with a bad checksum.
struct RecordingObserver : ILinkObserver {
    void FrameSent(const std::uint8_t* f, std::size_t n) override { Note("S", f, n); }
    void FrameReceived(const std::uint8_t* f, std::size_t n, bool ok) override { Note(ok ? "R" : "X", f, n); }
    void BytesDiscarded(const std::uint8_t* b, std::size_t n) override { Note("D", b, n); }
    void Note(const char* kind, const std::uint8_t* b, std::size_t n) {
        heard.push_back(std::string(kind) + " " + testing::ToHex(Bytes(b, b + n)));
        bytes.insert(bytes.end(), b, b + n);
    }
    std::vector<std::string> heard;
    Bytes bytes;  // everything heard, in order
};

class ReceiverTest : public ::testing::Test {
  protected:
    ReceiverTest() {
        port.SetReceiveNotification([this] { receiver.ReceiveNotification(); });
        port.Open();
        receiver.SetConsumer(&consumer);
    }

    FakeSerialPort port;
    Receiver receiver{port};
    RecordingConsumer consumer;
};

const Bytes kClockReply = MakeFrame(0x2FFF, 0xFFFF, {0x81, 30, 15, 10, 2, 4, 5, 26});
const Bytes kMeterPacket = MakeFrame(0x1005, 0xFFFF, {0x01, 0x34, 0x12, 0x05, 0x87, 0x23});

TEST_F(ReceiverTest, TwoFramesInOnePieceAreDispatchedInOrderInOneStep) {
    Bytes both = kClockReply;
    both.insert(both.end(), kMeterPacket.begin(), kMeterPacket.end());
    port.Feed(both);
    receiver.Step();
    ASSERT_EQ(consumer.log.size(), 2u);
    EXPECT_EQ(consumer.log[0], (Dispatched{'R', kClockReply}));
    EXPECT_EQ(consumer.log[1], (Dispatched{'M', kMeterPacket}));
}

TEST_F(ReceiverTest, FrameSplitOverStepsCompletesOnItsLastByte) {
    for (std::size_t cut : {1u, 7u, 8u, 9u, 15u}) {
        consumer.log.clear();
        port.Feed(Bytes(kClockReply.begin(), kClockReply.begin() + static_cast<std::ptrdiff_t>(cut)));
        receiver.Step();
        EXPECT_TRUE(consumer.log.empty()) << cut;
        port.Feed(Bytes(kClockReply.begin() + static_cast<std::ptrdiff_t>(cut), kClockReply.end()));
        receiver.Step();
        ASSERT_EQ(consumer.log.size(), 1u) << cut;
        EXPECT_EQ(consumer.log[0].frame, kClockReply);
    }
}

TEST_F(ReceiverTest, GarbageZeroLengthAndBadChecksumAreDroppedAndCounted) {
    Bytes stream = Hex("00 13 FE");                       // three garbage bytes
    const Bytes empty = MakeFrame(0x2FFF, 0xFFFF, {});    // N = 0: consumed and dropped
    Bytes bad = MakeFrame(0x2FFF, 0xFFFF, {0x88, 0x01});  // wrong checksum: dropped whole
    bad.back() ^= 0x5A;
    for (const Bytes* part : std::initializer_list<const Bytes*>{&empty, &bad, &kClockReply}) {
        stream.insert(stream.end(), part->begin(), part->end());
    }
    port.Feed(stream);
    receiver.Step();
    ASSERT_EQ(consumer.log.size(), 1u);
    EXPECT_EQ(consumer.log[0].frame, kClockReply);
    EXPECT_EQ(receiver.ReceivedBytes(), stream.size());
    EXPECT_EQ(consumer.counterShown, std::vector<std::uint32_t>{static_cast<std::uint32_t>(stream.size())});
}

TEST_F(ReceiverTest, ObserverHearsDroppedRunsGoodAndBadFramesInLineOrder) {
    RecordingObserver observer;
    receiver.SetObserver(&observer);
    Bytes bad = MakeFrame(0x2FFF, 0xFFFF, {0x88, 0x01});
    bad.back() ^= 0x5A;
    const Bytes empty = MakeFrame(0x2FFF, 0xFFFF, {});
    Bytes stream = Hex("00 13 FE");
    for (const Bytes* part : std::initializer_list<const Bytes*>{&kClockReply, &bad, &empty, &kMeterPacket}) {
        stream.insert(stream.end(), part->begin(), part->end());
    }
    stream.push_back(0x42);  // a lone byte after the last frame, dropped once seven more follow
    port.Feed(stream);
    receiver.Step();
    EXPECT_EQ(observer.heard, (std::vector<std::string>{
                                  "D 00 13 FE",
                                  "R " + testing::ToHex(kClockReply),
                                  "X " + testing::ToHex(bad),
                                  "R " + testing::ToHex(empty),
                                  "R " + testing::ToHex(kMeterPacket),
                              }));
    // The consumers see only the good frames, as without an observer.
    ASSERT_EQ(consumer.log.size(), 2u);
    EXPECT_EQ(consumer.log[1].frame, kMeterPacket);

    observer.heard.clear();
    port.Feed(Hex("01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"));  // each byte drops the oldest
    receiver.Step();
    EXPECT_EQ(observer.heard, std::vector<std::string>{"D 42 01 02 03 04 05 06 07"})
        << "a run dropped by the end of a step is told at the end of that step";
}

TEST_F(ReceiverTest, LongRunOfGarbageIsToldInPiecesOfTheLongestRun) {
    RecordingObserver observer;
    receiver.SetObserver(&observer);
    Bytes garbage(Receiver::kMaxDiscardRun + 10, 0x00);  // zeros never form a valid header
    Bytes stream = garbage;
    stream.insert(stream.end(), kClockReply.begin(), kClockReply.end());
    port.Feed(stream);
    receiver.Step();
    ASSERT_EQ(observer.heard.size(), 3u);
    EXPECT_EQ(observer.heard[0], "D " + testing::ToHex(Bytes(Receiver::kMaxDiscardRun, 0)));
    EXPECT_EQ(observer.heard[1], "D " + testing::ToHex(Bytes(10, 0)));
    EXPECT_EQ(observer.heard[2], "R " + testing::ToHex(kClockReply));
}

TEST_F(ReceiverTest, DispatchBySourceAddress) {
    struct Case {
        std::uint16_t source;
        std::size_t length;
        char expected;  // 0: nothing called
    };
    for (const Case c :
         {Case{0x1001, 6, 'M'}, Case{0x1FFE, 6, 'M'}, Case{0x1000, 6, 'R'}, Case{0x1FFF, 6, 'R'},
          Case{0x1234, 5, 0}, Case{0x1234, 7, 0}, Case{0x2FFF, 1, 'R'}}) {
        consumer.log.clear();
        consumer.counterShown.clear();
        Bytes payload(c.length, 0x11);
        port.Feed(MakeFrame(c.source, 0xFFFF, payload));
        receiver.Step();
        if (c.expected == 0) {
            EXPECT_TRUE(consumer.log.empty()) << std::hex << c.source;
        } else {
            ASSERT_EQ(consumer.log.size(), 1u) << std::hex << c.source;
            EXPECT_EQ(consumer.log[0].kind, c.expected) << std::hex << c.source;
        }
        EXPECT_EQ(consumer.counterShown.size(), 1u) << "the counter is refreshed for every good frame";
    }
}

TEST_F(ReceiverTest, WhatAPortDeliveredIsFiledAtItsEndAndNothingOfItReachesTheNextPort) {
    // The old port's bytes: a whole frame in the ring, then the first half of another.
    port.Feed(kMeterPacket);
    port.Feed(Bytes(kClockReply.begin(), kClockReply.begin() + 10));
    port.Close();
    receiver.Step();  // a closed port is not read
    EXPECT_TRUE(consumer.log.empty());
    receiver.Flush();  // the connection ends: its frames go where its data goes
    ASSERT_EQ(consumer.log.size(), 1u);
    EXPECT_EQ(consumer.log[0], (Dispatched{'M', kMeterPacket}));
    receiver.Reset();
    EXPECT_EQ(receiver.RingUsed(), 0u);
    EXPECT_EQ(receiver.AssemblyCount(), 0u);

    // The next port's bytes complete no frame with the old half, and its own frames arrive.
    consumer.log.clear();
    port.Open();
    port.Feed(Bytes(kClockReply.begin() + 10, kClockReply.end()));
    port.Feed(kClockReply);
    receiver.Step();
    ASSERT_EQ(consumer.log.size(), 1u);
    EXPECT_EQ(consumer.log[0], (Dispatched{'R', kClockReply}));
}

TEST_F(ReceiverTest, BurstLargerThanTheRingLosesNothing) {
    Bytes burst;
    std::vector<Bytes> frames;
    for (int i = 0; i < 40; ++i) {
        Bytes payload(115, static_cast<std::uint8_t>(i));
        payload[0] = 0x77;
        frames.push_back(MakeFrame(0x2FFF, 0xFFFF, payload));
        burst.insert(burst.end(), frames.back().begin(), frames.back().end());
    }
    ASSERT_EQ(burst.size(), 40u * 124u);  // 4960 bytes, close to five rings' worth
    port.Feed(burst);                     // one notification
    EXPECT_EQ(receiver.RingUsed(), Receiver::kRingSize - 1);
    receiver.Step();
    ASSERT_EQ(consumer.log.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(consumer.log[i].frame, frames[i]) << i;
    }
    EXPECT_EQ(receiver.ReceivedBytes(), burst.size());
    EXPECT_EQ(port.Pending(), 0u);
}

TEST_F(ReceiverTest, NestedStepInsideAConsumerDoesNotDisturbItsFrame) {
    Bytes second = MakeFrame(0x2FFF, 0xFFFF, {0x89, 0xF6});
    bool nested = false;
    Bytes seenAfterNested;
    consumer.onReply = [&](FrameBuffer& f) {
        if (nested) {
            return;
        }
        nested = true;
        port.Feed(second);  // arrives while a message box would be open
        receiver.Step();
        seenAfterNested.assign(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(FrameLength(f)));
    };
    port.Feed(kClockReply);
    receiver.Step();
    ASSERT_EQ(consumer.log.size(), 2u);
    EXPECT_EQ(consumer.log[1].frame, second);
    EXPECT_EQ(seenAfterNested, kClockReply);
}

// The assembler as the link defines it, one byte at a time with no shortcuts, to compare against.
std::vector<Dispatched> ReferenceAssemble(const Bytes& stream) {
    std::vector<Dispatched> out;
    FrameBuffer buf{};
    std::size_t count = 0;
    for (std::uint8_t byte : stream) {
        buf[count++] = byte;
        if (count < 8) {
            continue;
        }
        if (!CheckHeaderCrc(buf)) {
            std::memmove(&buf[0], &buf[1], count - 1);
            --count;
            continue;
        }
        if (count < FrameLength(buf)) {
            continue;
        }
        count = 0;
        const std::uint8_t n = PayloadLength(buf);
        if (n == 0 || PayloadChecksum(Payload(buf), n) != buf[8 + n]) {
            continue;
        }
        Bytes frame(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(FrameLength(buf)));
        if (IsMeterSource(SourceAddress(buf))) {
            if (n == 6) {
                out.push_back({'M', frame});
            }
        } else {
            out.push_back({'R', frame});
        }
    }
    return out;
}

TEST_F(ReceiverTest, MatchesTheByteByByteAssemblerOnRandomStreamsAndChunkings) {
    std::mt19937 rng(20261208);
    for (int round = 0; round < 200; ++round) {
        Bytes stream;
        const int items = 1 + static_cast<int>(rng() % 30);
        for (int i = 0; i < items; ++i) {
            switch (rng() % 4) {
                case 0: {  // garbage
                    const std::size_t len = rng() % 40;
                    for (std::size_t k = 0; k < len; ++k) {
                        stream.push_back(static_cast<std::uint8_t>(rng()));
                    }
                    break;
                }
                case 1: {  // meter packet
                    Bytes p(6);
                    for (auto& b : p) {
                        b = static_cast<std::uint8_t>(rng());
                    }
                    Bytes f = MakeFrame(static_cast<std::uint16_t>(0x1001 + rng() % 0xFFE), 0xFFFF, p);
                    stream.insert(stream.end(), f.begin(), f.end());
                    break;
                }
                default: {  // reply, sometimes corrupted
                    Bytes p(1 + rng() % 255);
                    for (auto& b : p) {
                        b = static_cast<std::uint8_t>(rng());
                    }
                    Bytes f = MakeFrame(0x2FFF, 0xFFFF, p);
                    if (rng() % 5 == 0) {
                        f[8 + rng() % p.size()] ^= 0x10;
                    }
                    stream.insert(stream.end(), f.begin(), f.end());
                    break;
                }
            }
        }

        FakeSerialPort p;
        Receiver r(p);
        RecordingConsumer c;
        r.SetConsumer(&c);
        RecordingObserver observer;  // every other round runs without one
        if (round % 2 == 0) {
            r.SetObserver(&observer);
        }
        p.SetReceiveNotification([&] { r.ReceiveNotification(); });
        p.Open();
        for (std::size_t pos = 0; pos < stream.size();) {
            const std::size_t len = std::min<std::size_t>(stream.size() - pos, 1 + rng() % 700);
            p.Feed(Bytes(stream.begin() + static_cast<std::ptrdiff_t>(pos),
                         stream.begin() + static_cast<std::ptrdiff_t>(pos + len)));
            if (rng() % 2) {
                r.Step();
            }
            pos += len;
        }
        r.Step();
        ASSERT_EQ(c.log, ReferenceAssemble(stream)) << "round " << round;
        ASSERT_EQ(r.ReceivedBytes(), stream.size());
        if (round % 2 == 0) {
            // Every byte is heard once, in line order, except those the assembler still holds.
            ASSERT_EQ(observer.bytes,
                      Bytes(stream.begin(), stream.end() - static_cast<std::ptrdiff_t>(r.AssemblyCount())))
                << "round " << round;
        }
    }
}

}  // namespace
}  // namespace lumvaris::link
