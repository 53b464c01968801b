#pragma once

#include <QString>

#include <vector>

namespace lumvaris::firmware {

class FirmwareFile;

// What the pre-check can find wrong with one record of a HEX file. The concentrator is the judge of
// its firmware, so these only warn the engineer before the upload starts.
enum class HexProblemKind {
    NoColon,            // a non-empty line that does not start with ':'
    NotHexDigit,        // a character after the ':' that is no hexadecimal digit
    OddDigitCount,      // the digits do not pair into bytes
    ByteCountMismatch,  // the record's byte count (its first byte) disagrees with its length
    ChecksumWrong,      // the bytes of the record do not sum to 0 modulo 256
    EndRecordNotLast,   // an end-of-file record (type 01) with records after it
    NoEndRecord,        // the last non-empty line is not :00000001FF (line 0: the file has none)
};

struct HexProblem {
    qsizetype lineNumber = 0;  // counted from 1
    HexProblemKind kind = HexProblemKind::NoColon;
    bool operator==(const HexProblem&) const = default;
};

struct HexCheckResult {
    static constexpr std::size_t kProblemsNamed = 3;
    std::vector<HexProblem> firstProblems;  // in line order, at most kProblemsNamed
    qsizetype problemCount = 0;
    // Lines with something for the concentrator: neither blank nor an end-of-file record. A file
    // without one (empty, blank lines, an end record alone) would only announce an upload of
    // nothing, and the start alone may make a concentrator erase its firmware: it is refused
    // before anything is sent. Other lines, well-formed or not, count: the concentrator judges.
    qsizetype contentLines = 0;
    bool Passed() const { return problemCount == 0; }
};

// Checks every line as an Intel-HEX record. One problem per line at most (the first found, in the
// order of the kinds above), plus the end-of-file checks.
HexCheckResult CheckIntelHex(const FirmwareFile& file);

// The warning shown above the confirmation question; empty when the check passed.
QString HexCheckWarning(const HexCheckResult& result);

}  // namespace lumvaris::firmware
