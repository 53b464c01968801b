#include <gtest/gtest.h>

#include "firmware/FirmwareFile.h"
#include "firmware/IntelHexCheck.h"

namespace lumvaris::firmware {
namespace {

using Kind = HexProblemKind;

HexCheckResult Check(const QByteArray& content) {
    FirmwareFile file;
    if (!file.LoadFromBytes(content)) {
        ADD_FAILURE() << "not loaded";
    }
    return CheckIntelHex(file);
}

// Real records: an extended linear address, a data record, the end.
const QByteArray kAddress = ":020000040800F2";
const QByteArray kData = ":10000000000102030405060708090A0B0C0D0E0F78";
const QByteArray kEnd = ":00000001FF";

struct CheckCase {
    const char* name;
    QByteArray content;
    std::vector<HexProblem> problems;
};

TEST(IntelHexCheckTest, NamesWhatIsWrongWithEachRecordAndTheEnd) {
    const std::vector<CheckCase> cases = {
        {"a good file", kAddress + "\r\n" + kData + "\r\n" + kEnd + "\r\n", {}},
        {"lower case digits, empty lines between and after",
         kAddress.toLower() + "\n\n" + kEnd.toLower() + "\n\n\n",
         {}},
        {"no colon", kAddress.mid(1) + "\r\n" + kEnd, {{1, Kind::NoColon}}},
        {"a character that is no digit", ":02000004080G\r\n" + kEnd, {{1, Kind::NotHexDigit}}},
        {"a trailing blank", kAddress + " \r\n" + kEnd, {{1, Kind::NotHexDigit}}},
        {"odd digits", kAddress.chopped(1) + "\r\n" + kEnd, {{1, Kind::OddDigitCount}}},
        {"byte count says 3, record holds 2", ":030000040800F1\r\n" + kEnd, {{1, Kind::ByteCountMismatch}}},
        {"shorter than a record", ":0000\r\n" + kEnd, {{1, Kind::ByteCountMismatch}}},
        {"a colon alone", ":\r\n" + kEnd, {{1, Kind::ByteCountMismatch}}},
        {"checksum off by one",
         kAddress + "\r\n:10000000000102030405060708090A0B0C0D0E0F79\r\n" + kEnd,
         {{2, Kind::ChecksumWrong}}},
        {"no end record", kAddress + "\r\n" + kData + "\r\n", {{2, Kind::NoEndRecord}}},
        {"records after the end",
         kAddress + "\r\n" + kEnd + "\r\n" + kData + "\r\n",
         {{2, Kind::EndRecordNotLast}, {3, Kind::NoEndRecord}}},
        {"an empty file", "", {{0, Kind::NoEndRecord}}},
        {"only empty lines", "\r\n\r\n", {{0, Kind::NoEndRecord}}},
        {"a broken end record", ":00000001FE", {{1, Kind::ChecksumWrong}, {1, Kind::NoEndRecord}}},
    };
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.name);
        const HexCheckResult result = Check(c.content);
        EXPECT_EQ(result.firstProblems, c.problems);
        EXPECT_EQ(result.problemCount, static_cast<qsizetype>(c.problems.size()));
        EXPECT_EQ(result.Passed(), c.problems.empty());
        EXPECT_EQ(HexCheckWarning(result).isEmpty(), c.problems.empty());
    }
}

TEST(IntelHexCheckTest, TheWarningNamesTheFirstThreeProblemsAndCountsTheRest) {
    const HexCheckResult result = Check("x\r\n" + kData + "\r\n:0G\r\n:00\r\n" + kData.chopped(1) + "\r\n");
    EXPECT_EQ(result.problemCount, 5);
    EXPECT_EQ(HexCheckWarning(result),
              "Внимание! Файл не соответствует формату Intel-HEX:\r\n"
              "строка 1: нет двоеточия в начале\r\n"
              "строка 3: символ, который не является шестнадцатеричной цифрой\r\n"
              "строка 4: число байтов данных не совпадает с длиной записи\r\n"
              "Всего замечаний: 5.");
    EXPECT_EQ(HexCheckWarning(Check("")),
              "Внимание! Файл не соответствует формату Intel-HEX:\r\n"
              "в файле нет записи конца файла :00000001FF");
}

}  // namespace
}  // namespace lumvaris::firmware
