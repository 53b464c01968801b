#include "firmware/IntelHexCheck.h"

#include <QCoreApplication>
#include "firmware/FirmwareFile.h"

#include <QStringList>

#include <optional>

namespace lumvaris::firmware {
namespace {

constexpr int kRecordOverhead = 5;  // byte count, two address bytes, type, checksum
constexpr int kEndOfFileType = 0x01;

int HexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    return -1;
}

struct Record {
    std::optional<HexProblemKind> problem;
    bool endOfFile = false;
};

Record CheckRecord(QStringView line) {
    if (line.front() != u':') {
        return {HexProblemKind::NoColon};
    }
    const QStringView digits = line.mid(1);
    for (const QChar c : digits) {
        if (HexValue(c) < 0) {
            return {HexProblemKind::NotHexDigit};
        }
    }
    if (digits.size() % 2 != 0) {
        return {HexProblemKind::OddDigitCount};
    }
    const qsizetype byteCount = digits.size() / 2;
    auto byteAt = [&](qsizetype i) { return HexValue(digits[2 * i]) * 16 + HexValue(digits[2 * i + 1]); };
    if (byteCount < kRecordOverhead || byteAt(0) + kRecordOverhead != byteCount) {
        return {HexProblemKind::ByteCountMismatch};
    }
    unsigned sum = 0;
    for (qsizetype i = 0; i < byteCount; ++i) {
        sum += static_cast<unsigned>(byteAt(i));
    }
    if ((sum & 0xFF) != 0) {
        return {HexProblemKind::ChecksumWrong};
    }
    return {std::nullopt, byteAt(3) == kEndOfFileType};
}

QString ProblemText(const HexProblem& problem) {
    const QString line =
        QCoreApplication::translate("firmware::IntelHexCheck", "строка %1: ").arg(problem.lineNumber);
    switch (problem.kind) {
        case HexProblemKind::NoColon:
            return line + QCoreApplication::translate("firmware::IntelHexCheck", "нет двоеточия в начале");
        case HexProblemKind::NotHexDigit:
            return line + QCoreApplication::translate("firmware::IntelHexCheck",
                                                      "символ, который не является шестнадцатеричной цифрой");
        case HexProblemKind::OddDigitCount:
            return line + QCoreApplication::translate("firmware::IntelHexCheck",
                                                      "нечётное число шестнадцатеричных цифр");
        case HexProblemKind::ByteCountMismatch:
            return line + QCoreApplication::translate("firmware::IntelHexCheck",
                                                      "число байтов данных не совпадает с длиной записи");
        case HexProblemKind::ChecksumWrong:
            return line + QCoreApplication::translate("firmware::IntelHexCheck",
                                                      "неверная контрольная сумма записи");
        case HexProblemKind::EndRecordNotLast:
            return line + QCoreApplication::translate("firmware::IntelHexCheck",
                                                      "запись конца файла стоит не последней");
        case HexProblemKind::NoEndRecord:
            if (problem.lineNumber == 0) {
                return QCoreApplication::translate("firmware::IntelHexCheck",
                                                   "в файле нет записи конца файла :00000001FF");
            }
            return line + QCoreApplication::translate(
                              "firmware::IntelHexCheck",
                              "последняя запись не является записью конца файла :00000001FF");
    }
    return line;
}

}  // namespace

HexCheckResult CheckIntelHex(const FirmwareFile& file) {
    HexCheckResult result;
    auto add = [&result](qsizetype lineNumber, HexProblemKind kind) {
        if (result.firstProblems.size() < HexCheckResult::kProblemsNamed) {
            result.firstProblems.push_back({lineNumber, kind});
        }
        ++result.problemCount;
    };

    qsizetype last = file.LineCount() - 1;
    while (last >= 0 && file.Line(last).isEmpty()) {
        --last;
    }
    for (qsizetype i = 0; i <= last; ++i) {
        const QStringView line = file.Line(i);
        if (line.isEmpty()) {
            continue;
        }
        const Record record = CheckRecord(line);
        if ((record.problem || !record.endOfFile) && !line.trimmed().isEmpty()) {
            ++result.contentLines;
        }
        if (record.problem) {
            add(i + 1, *record.problem);
        } else if (record.endOfFile && i != last) {
            add(i + 1, HexProblemKind::EndRecordNotLast);
        }
    }
    if (last < 0) {
        add(0, HexProblemKind::NoEndRecord);
    } else if (file.Line(last).compare(u":00000001FF", Qt::CaseInsensitive) != 0) {
        add(last + 1, HexProblemKind::NoEndRecord);
    }
    return result;
}

QString HexCheckWarning(const HexCheckResult& result) {
    if (result.Passed()) {
        return {};
    }
    QStringList lines{QCoreApplication::translate("firmware::IntelHexCheck",
                                                  "Внимание! Файл не соответствует формату Intel-HEX:")};
    for (const HexProblem& problem : result.firstProblems) {
        lines.append(ProblemText(problem));
    }
    if (result.problemCount > static_cast<qsizetype>(result.firstProblems.size())) {
        lines.append(QCoreApplication::translate("firmware::IntelHexCheck", "Всего замечаний: %1.")
                         .arg(result.problemCount));
    }
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace lumvaris::firmware
