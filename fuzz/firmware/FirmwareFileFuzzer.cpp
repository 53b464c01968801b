// Hostile firmware files: reading never goes outside a buffer, the lines are the file's bytes split
// at CR LF, CR and LF (checked against a plain rewrite of the line ends), a file is refused exactly
// when a line is too long for one request, and the HEX check names at most three problems, in
// line order, within the file.
#include "firmware/FirmwareFile.h"
#include "firmware/IntelHexCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace lumvaris::firmware;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    // Every line end as one LF; the longest line; the line count.
    std::string joined;
    std::size_t longest = 0, run = 0;
    for (std::size_t k = 0; k < size; ++k) {
        const char c = static_cast<char>(data[k]);
        if (c == '\r' || c == '\n') {
            joined.push_back('\n');
            run = 0;
            if (c == '\r' && k + 1 < size && data[k + 1] == '\n') {
                ++k;
            }
        } else {
            joined.push_back(c);
            longest = std::max(longest, ++run);
        }
    }
    qsizetype lineCount = 0;
    for (const char c : joined) {
        lineCount += c == '\n' ? 1 : 0;
    }
    if (!joined.empty() && joined.back() != '\n') {
        ++lineCount;
    }
    if (!joined.empty() && joined.back() == '\n') {
        joined.pop_back();  // a line end at the end starts no line
    }

    FirmwareFile file;
    const bool loaded = file.LoadFromBytes(bytes);
    if (loaded != (longest <= static_cast<std::size_t>(kMaxLineLength)) ||
        loaded != file.LastError().isEmpty()) {
        std::abort();
    }
    if (!loaded) {
        if (file.LineCount() != 0) {
            std::abort();
        }
        return 0;
    }
    if (file.LineCount() != lineCount) {
        std::abort();
    }
    std::string rebuilt;
    for (qsizetype k = 0; k < file.LineCount(); ++k) {
        const QByteArray line = file.LineBytes(k);
        if (line.size() > kMaxLineLength || line.size() != file.Line(k).size()) {
            std::abort();
        }
        if (k > 0) {
            rebuilt.push_back('\n');
        }
        rebuilt.append(line.constData(), static_cast<std::size_t>(line.size()));
    }
    if (rebuilt != joined) {
        std::abort();
    }

    const HexCheckResult check = CheckIntelHex(file);
    const std::size_t named = check.firstProblems.size();
    if (named > HexCheckResult::kProblemsNamed ||
        named != std::min<std::size_t>(HexCheckResult::kProblemsNamed,
                                       static_cast<std::size_t>(check.problemCount))) {
        std::abort();
    }
    qsizetype previous = 0;
    for (const HexProblem& problem : check.firstProblems) {
        if (problem.lineNumber > file.LineCount() || problem.lineNumber < 0 ||
            (problem.lineNumber != 0 && problem.lineNumber < previous)) {
            std::abort();
        }
        previous = problem.lineNumber;
    }
    if (HexCheckWarning(check).isEmpty() != check.Passed()) {
        std::abort();
    }
    return 0;
}
