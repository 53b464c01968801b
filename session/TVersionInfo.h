#pragma once

#include <QString>

namespace lumvaris::session {

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

// Reads a file's version resource: the product name and file version the version caption is made
// of, the short version and the four version parts.
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

    const QString& FileVersion() const { return fileVersion_; }
    const QString& FileShortVersion() const { return fileShortVersion_; }
    const QString& ProductName() const { return productName_; }
    const QString& MajorVersion() const { return majorVersion_; }
    const QString& MinorVersion() const { return minorVersion_; }
    const QString& Release() const { return release_; }
    const QString& Build() const { return build_; }

  private:
    void SplitVersionParts();

    QString fileVersion_;
    QString fileShortVersion_;
    QString productName_;
    QString majorVersion_;
    QString minorVersion_;
    QString release_;
    QString build_;
};

}  // namespace lumvaris::session
