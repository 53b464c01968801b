#pragma once

#include <QString>

namespace lumvaris::app {

// The texts of a version resource.
struct VersionResource {
    QString companyName;
    QString fileDescription;
    QString fileVersion;
    QString internalName;
    QString legalCopyright;
    QString legalTrademarks;
    QString originalFilename;
    QString productName;
    QString productVersion;
    QString comments;
};

// The program's own version resource. On this platform it is compiled in from the build (product
// name and the CMake project version) rather than read from the executable.
VersionResource BuildVersionResource();

// Reads a file's version resource and derives the short version and the four version parts.
class TVersionInfo {
  public:
    static constexpr const char* kNotAvailable = "<info not available>";

    TVersionInfo() = default;
    // The program's own file: the resource compiled into it.
    explicit TVersionInfo(const QString& filePath) { GetInfo(filePath); }

    void GetInfo(const QString& filePath);
    // Fills every property from a resource; nullptr means the file has none.
    void GetInfo(const VersionResource* resource);

    // "1.2.0.0" -> "1.2", "1.2.3.0" -> "1.2.3", "1.2.0.7" -> "1.2.b.7", "1.2.3.7" -> "1.2.3.b.7".
    // A version with fewer parts keeps the parts it has ("1.2" -> "1.2", "7" -> "7").
    static QString ShortVersion(const QString& fileVersion);

    const QString& CompanyName() const { return companyName_; }
    const QString& FileDescription() const { return fileDescription_; }
    const QString& FileVersion() const { return fileVersion_; }
    const QString& FileShortVersion() const { return fileShortVersion_; }
    const QString& Internalname() const { return internalName_; }
    const QString& LegalCopyright() const { return legalCopyright_; }
    const QString& LegalTrademarks() const { return legalTrademarks_; }
    const QString& OriginalFilename() const { return originalFilename_; }
    const QString& ProductName() const { return productName_; }
    const QString& ProductVersion() const { return productVersion_; }
    const QString& Comments() const { return comments_; }
    const QString& MajorVersion() const { return majorVersion_; }
    const QString& MinorVersion() const { return minorVersion_; }
    const QString& Release() const { return release_; }
    const QString& Build() const { return build_; }

  private:
    void SplitVersionParts();

    QString companyName_;
    QString fileDescription_;
    QString fileVersion_;
    QString fileShortVersion_;
    QString internalName_;
    QString legalCopyright_;
    QString legalTrademarks_;
    QString originalFilename_;
    QString productName_;
    QString productVersion_;
    QString comments_;
    QString majorVersion_;
    QString minorVersion_;
    QString release_;
    QString build_;
};

}  // namespace lumvaris::app
