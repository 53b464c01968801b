#include <gtest/gtest.h>

#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/Revision.h"
#include "app/TVersionInfo.h"

namespace lumvaris::app {
namespace {

TEST(TVersionInfoTest, ShortVersionDropsZeroReleaseAndMarksTheBuild) {
    const struct {
        const char* fileVersion;
        const char* shortVersion;
    } cases[] = {
        {"1.2.0.0", "1.2"},
        {"1.2.3.0", "1.2.3"},
        {"1.2.0.7", "1.2.b.7"},
        {"1.2.3.7", "1.2.3.b.7"},
        {"2.1.0.0", "2.1"},
        {"10.20.30.40", "10.20.30.b.40"},
        // Fewer than four parts keep the parts they have.
        {"1.2", "1.2"},
        {"1.2.3", "1.2.3"},
        {"7", "7"},
        {"", ""},
        // The fourth part is the rest after the third point.
        {"1.2.0.7.9", "1.2.b.7.9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TVersionInfo::ShortVersion(QString::fromUtf8(c.fileVersion)),
                  QString::fromUtf8(c.shortVersion))
            << c.fileVersion;
    }
}

TEST(TVersionInfoTest, VersionPartsSplitAtPointsOrCommas) {
    const struct {
        const char* fileVersion;
        const char* parts[4];
    } cases[] = {
        {"1.2.3.4", {"1", "2", "3", "4"}},
        {"5,6,7,8", {"5", "6", "7", "8"}},
        {"1.2.3.4.5", {"1", "2", "3", "4.5"}},
        {"12",
         {"<info not available>", "<info not available>", "<info not available>", "<info not available>"}},
    };
    for (const auto& c : cases) {
        VersionResource resource;
        resource.fileVersion = QString::fromUtf8(c.fileVersion);
        TVersionInfo info;
        info.GetInfo(&resource);
        EXPECT_EQ(info.MajorVersion(), QString::fromUtf8(c.parts[0])) << c.fileVersion;
        EXPECT_EQ(info.MinorVersion(), QString::fromUtf8(c.parts[1])) << c.fileVersion;
        EXPECT_EQ(info.Release(), QString::fromUtf8(c.parts[2])) << c.fileVersion;
        EXPECT_EQ(info.Build(), QString::fromUtf8(c.parts[3])) << c.fileVersion;
    }
}

TEST(TVersionInfoTest, TheProgramsOwnVersionComesFromTheBuild) {
    const QString self = QCoreApplication::applicationFilePath();
    const TVersionInfo info(self);
    EXPECT_EQ(info.ProductName(), QStringLiteral("Lumvaris"));
    EXPECT_EQ(info.FileVersion(), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(info.FileShortVersion(), QStringLiteral("1.0"));
    EXPECT_EQ(info.MajorVersion(), QStringLiteral("1"));

    const RevisionValues values = MakeRevisionValues(QStringLiteral("/opt/lumvaris/bin/Lumvaris"), info);
    EXPECT_EQ(values.versionCaption, QStringLiteral("Lumvaris Rev.1.0"));
    EXPECT_EQ(values.programDirectory, QStringLiteral("/opt/lumvaris/bin/"));
    EXPECT_EQ(values.programFileName, QStringLiteral("Lumvaris"));
    EXPECT_EQ(values.revisionCopyName,
              QStringLiteral("/opt/lumvaris/bin/Lumvaris.Rev.1.0") + ExecutableSuffix());
}

TEST(TVersionInfoTest, AFileWithoutVersionResourceSaysSo) {
    TVersionInfo info;
    info.GetInfo(nullptr);
    EXPECT_EQ(info.ProductName(), QStringLiteral("<info not available>"));
    EXPECT_EQ(info.Build(), QStringLiteral("<info not available>"));
    EXPECT_TRUE(info.FileShortVersion().isEmpty());
    EXPECT_EQ(MakeRevisionValues(QStringLiteral("/x/Lumvaris"), info).versionCaption,
              QStringLiteral("<info not available> Rev."));
}

TEST(RevisionTest, ProgramDirectoryKeepsOneTrailingSlash) {
    EXPECT_EQ(ProgramDirectoryOf(QStringLiteral("/opt/x/Lumvaris")), QStringLiteral("/opt/x/"));
    EXPECT_EQ(ProgramDirectoryOf(QStringLiteral("/Lumvaris")), QStringLiteral("/"));
    EXPECT_EQ(ProgramDirectoryOf(QStringLiteral("Lumvaris")), QString());
}

TEST(RevisionTest, OnlyAWritableDirectoryOutsideTheSystemsOwnTakesTheProgramsFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString own = dir.path() + QStringLiteral("/");
    QDir(dir.path()).mkdir(QStringLiteral("locked"));
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner);
    QFile::link(QStringLiteral("/usr/bin"), dir.filePath(QStringLiteral("into-usr")));
    const struct {
        QString directory;
        bool takesFiles;
    } cases[] = {
        {own, true},
        {QStringLiteral("/usr/bin/"), false},
        {QStringLiteral("/usr/local/bin/"), false},
        {dir.filePath(QStringLiteral("into-usr")) + QStringLiteral("/"), false},  // installed, reached by a link
        {dir.filePath(QStringLiteral("missing")) + QStringLiteral("/"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgramDirectoryTakesFiles(c.directory), c.takesFiles) << c.directory.toStdString();
    }
    if (geteuid() != 0) {  // file modes do not bind the superuser
        EXPECT_FALSE(ProgramDirectoryTakesFiles(dir.filePath(QStringLiteral("locked")) + QStringLiteral("/")));
    }
    EXPECT_TRUE(UserDataDirectory().endsWith(QStringLiteral("/")));
}

class RevisionCopyTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    static void Write(const QString& path, const QByteArray& bytes, QFile::Permissions permissions) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        QFile::setPermissions(path, permissions);
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QTemporaryDir dir_;
};

TEST_F(RevisionCopyTest, ReplacesAnOlderReadOnlyCopyAndKeepsTheExecutableBit) {
    const QFile::Permissions exec = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    Write(Path("Lumvaris"), QByteArray("new program", 11), exec);
    Write(Path("Lumvaris.Rev.1.0"), QByteArray("old"), QFile::ReadOwner);

    EXPECT_TRUE(RefreshRevisionCopy(Path("Lumvaris"), Path("Lumvaris.Rev.1.0")));
    EXPECT_EQ(Read(Path("Lumvaris.Rev.1.0")), QByteArray("new program"));
    EXPECT_TRUE(QFile::permissions(Path("Lumvaris.Rev.1.0")) & QFile::ExeOwner);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 2) << "no temporary file left behind";
}

TEST_F(RevisionCopyTest, StartedFromItsOwnRevisionCopyLeavesItAlone) {
    Write(Path("Lumvaris.Rev.1.0"), QByteArray("running copy"), QFile::ReadOwner | QFile::ExeOwner);
    EXPECT_FALSE(RefreshRevisionCopy(Path("Lumvaris.Rev.1.0"), Path("Lumvaris.Rev.1.0")));
    EXPECT_EQ(Read(Path("Lumvaris.Rev.1.0")), QByteArray("running copy"));
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(RevisionCopyTest, AFailedCopyIsIgnoredAndLeavesTheOldCopy) {
    Write(Path("Lumvaris.Rev.1.0"), QByteArray("old"), QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_FALSE(RefreshRevisionCopy(Path("no-such-program"), Path("Lumvaris.Rev.1.0")));
    EXPECT_EQ(Read(Path("Lumvaris.Rev.1.0")), QByteArray("old"));
    EXPECT_FALSE(RefreshRevisionCopy(Path("Lumvaris.Rev.1.0"), Path("missing-dir/Lumvaris.Rev.1.0")));
}

}  // namespace
}  // namespace lumvaris::app
