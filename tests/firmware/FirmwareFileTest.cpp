#include <gtest/gtest.h>

#include "firmware/FirmwareFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <vector>

namespace lumvaris::firmware {
namespace {

std::vector<QByteArray> BytesOf(const FirmwareFile& file) {
    std::vector<QByteArray> out;
    for (qsizetype k = 0; k < file.LineCount(); ++k) {
        out.push_back(file.LineBytes(k));
    }
    return out;
}

struct SplitCase {
    QByteArray content;
    std::vector<QByteArray> lines;
};

TEST(FirmwareFileTest, SplitsAtCrLfCrAndLfWithTheLineEndsRemoved) {
    const std::vector<SplitCase> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\n", {"a", "b", "c"}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {"a\n\r", {"a", ""}},
        {"a\n\rb", {"a", "", "b"}},
        {QByteArray("a\0b\r\n", 5), {QByteArray("a\0b", 3)}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.content.toPercentEncoding().toStdString());
        FirmwareFile file;
        ASSERT_TRUE(file.LoadFromBytes(c.content));
        EXPECT_EQ(BytesOf(file), c.lines);
    }
}

TEST(FirmwareFileTest, LinesAreCodePage1251TextAndGoOutAsTheFileBytes) {
    QByteArray every;
    for (int b = 0; b < 256; ++b) {
        if (b != '\r' && b != '\n') {
            every.append(static_cast<char>(b));
        }
    }
    FirmwareFile file;
    ASSERT_TRUE(file.LoadFromBytes(every + "\r\n\xC0\xFF\xB8"));
    ASSERT_EQ(file.LineCount(), 2);
    EXPECT_EQ(file.LineBytes(0), every);  // 254 characters: exactly one frame's worth
    EXPECT_EQ(file.Line(1), QStringLiteral("Аяё"));
}

struct LengthCase {
    const char* name;
    QByteArray content;
    const char* error;  // empty: accepted
};

TEST(FirmwareFileTest, ALineLongerThanOneRequestRefusesTheFileNamingItsNumberAndLength) {
    const QByteArray max(254, 'A');
    const QByteArray over(255, 'B');
    const std::vector<LengthCase> cases = {
        {"254 characters", max + "\r\n" + max, ""},
        {"255 characters on line 2", "x\r\n" + over + "\r\ny\r\n",
         "Строка 2 файла слишком длинная (длина 255): в один запрос помещается не более 254 "
         "символов.\r\nПрошивка не начата."},
        {"the last line, without its line end", "x\ry\n" + QByteArray(301, 'C'),
         "Строка 3 файла слишком длинная (длина 301): в один запрос помещается не более 254 "
         "символов.\r\nПрошивка не начата."},
        {"the first of two is named", over + "\n" + QByteArray(400, 'D') + "\n",
         "Строка 1 файла слишком длинная (длина 255): в один запрос помещается не более 254 "
         "символов.\r\nПрошивка не начата."},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.name);
        FirmwareFile file;
        const bool loaded = file.LoadFromBytes(c.content);
        EXPECT_EQ(file.LastError(), QString::fromUtf8(c.error));
        EXPECT_EQ(loaded, *c.error == '\0');
        if (!loaded) {
            EXPECT_EQ(file.LineCount(), 0);
        }
    }
}

TEST(FirmwareFileTest, UnreadableAndOversizedFilesAreRefused) {
    QTemporaryDir dir;
    FirmwareFile file;
    ASSERT_TRUE(file.LoadFromBytes("a\r\nb"));

    EXPECT_FALSE(file.LoadFromFile(dir.filePath("missing.hex")));
    EXPECT_TRUE(
        file.LastError().startsWith("Не удалось открыть файл\r\n'" + dir.filePath("missing.hex") + "':"));
    EXPECT_EQ(file.LineCount(), 0) << "the lines of an earlier file are gone";

    const QString huge = dir.filePath("huge.hex");
    {
        QFile out(huge);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        ASSERT_TRUE(out.resize(kMaxFileSize + 1));  // sparse: nothing is written
    }
    EXPECT_FALSE(file.LoadFromFile(huge));
    EXPECT_EQ(file.LastError(),
              "Файл\r\n'" + huge +
                  "'\r\nслишком велик для прошивки концентратора (допустимо не более 16777216 байт).");

    const QString good = dir.filePath("good.hex");
    {
        QFile out(good);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(":00000001FF\r\n");
    }
    EXPECT_TRUE(file.LoadFromFile(good));
    EXPECT_EQ(file.LineCount(), 1);
    EXPECT_TRUE(file.LastError().isEmpty());
}

}  // namespace
}  // namespace lumvaris::firmware
