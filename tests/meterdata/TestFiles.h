#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <bit>
#include <cstdint>
#include <cstring>

namespace lumvaris::meterdata::test {

// File images written out byte by byte, independently of the code under test.
inline void AppendLe(QByteArray& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}

struct RawRecord {
    std::uint16_t meter = 0, wordA = 0, wordB = 0;
    std::uint8_t type = 0, level = 0, emptyMark = 0, valid = 0;
    double time = 0;
};

inline QByteArray RecordImage(const RawRecord& r) {
    QByteArray out;
    AppendLe(out, r.meter, 2);
    AppendLe(out, r.wordA, 2);
    AppendLe(out, r.wordB, 2);
    AppendLe(out, r.type, 1);
    AppendLe(out, r.level, 1);
    AppendLe(out, r.emptyMark, 1);
    AppendLe(out, r.valid, 1);
    AppendLe(out, 0, 6);
    AppendLe(out, std::bit_cast<std::uint64_t>(r.time), 8);
    return out;
}

inline QByteArray HeaderImage(std::int32_t cols, std::int32_t rows) {
    QByteArray out;
    AppendLe(out, static_cast<std::uint32_t>(cols), 4);
    AppendLe(out, static_cast<std::uint32_t>(rows), 4);
    return out;
}

inline bool WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace lumvaris::meterdata::test
