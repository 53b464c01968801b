#include "session/TVersionInfo.h"

#include <QStringList>

#include "session/BuildVersion.h"

namespace lumvaris::session {
namespace {

// Splits at the first three separators: at most four parts, the last one holding the rest.
QStringList SplitFour(const QString& text, QChar separator) {
    QStringList parts;
    qsizetype start = 0;
    while (parts.size() < 3) {
        const qsizetype at = text.indexOf(separator, start);
        if (at < 0) {
            break;
        }
        parts << text.mid(start, at - start);
        start = at + 1;
    }
    parts << text.mid(start);
    return parts;
}

}  // namespace

VersionResource BuildVersionResource() {
    VersionResource r;
    r.companyName = QString::fromUtf8(build::kCompanyName);
    r.fileDescription = QString::fromUtf8(build::kFileDescription);
    r.fileVersion = QString::fromUtf8(build::kFileVersion);
    r.internalName = QString::fromUtf8(build::kInternalName);
    r.legalCopyright = QString::fromUtf8(build::kLegalCopyright);
    r.legalTrademarks = QString::fromUtf8(build::kLegalTrademarks);
    r.originalFilename = QString::fromUtf8(build::kOriginalFilename);
    r.productName = QString::fromUtf8(build::kProductName);
    r.productVersion = QString::fromUtf8(build::kProductVersion);
    r.comments = QString::fromUtf8(build::kComments);
    return r;
}

void TVersionInfo::GetInfo(const QString& /*filePath*/) {
    const VersionResource own = BuildVersionResource();
    GetInfo(&own);
}

void TVersionInfo::GetInfo(const VersionResource* resource) {
    if (resource == nullptr) {
        const QString na = QString::fromLatin1(kNotAvailable);
        for (QString* p :
             {&fileVersion_, &productName_, &majorVersion_, &minorVersion_, &release_, &build_}) {
            *p = na;
        }
        fileShortVersion_.clear();
        return;
    }
    fileVersion_ = resource->fileVersion;
    productName_ = resource->productName;
    fileShortVersion_ = ShortVersion(fileVersion_);
    SplitVersionParts();
}

QString TVersionInfo::ShortVersion(const QString& fileVersion) {
    const QStringList parts = SplitFour(fileVersion, QLatin1Char('.'));
    if (parts.size() < 2) {
        return fileVersion;
    }
    QString text = parts[0] + QLatin1Char('.') + parts[1];
    if (parts.size() > 2 && parts[2] != QLatin1String("0")) {
        text += QLatin1Char('.') + parts[2];
    }
    if (parts.size() > 3 && parts[3] != QLatin1String("0")) {
        text += QLatin1String(".b.") + parts[3];
    }
    return text;
}

void TVersionInfo::SplitVersionParts() {
    QChar separator;
    if (fileVersion_.contains(QLatin1Char('.'))) {
        separator = QLatin1Char('.');
    } else if (fileVersion_.contains(QLatin1Char(','))) {
        separator = QLatin1Char(',');
    } else {
        majorVersion_ = minorVersion_ = release_ = build_ = QString::fromLatin1(kNotAvailable);
        return;
    }
    const QStringList parts = SplitFour(fileVersion_, separator);
    majorVersion_ = parts.value(0);
    minorVersion_ = parts.value(1);
    release_ = parts.value(2);
    build_ = parts.value(3);
}

}  // namespace lumvaris::session
