#include "session/RecentAddresses.h"

#include <QFile>
#include <QSaveFile>

#include "link/NetworkAddress.h"

namespace lumvaris::session {
namespace {

constexpr qint64 kLargestFile = 16 * 1024;

}  // namespace

RecentAddresses::RecentAddresses(QString programDirectory)
    : fileName_(std::move(programDirectory) + QStringLiteral("RecentAddresses.txt")) {}

QStringList RecentAddresses::Addresses() const {
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList addresses;
    // Whatever the file holds, only well-formed addresses are offered.
    for (const QByteArray& line : file.read(kLargestFile).split('\n')) {
        const QString address = QString::fromUtf8(line).trimmed();
        if (link::ParseNetworkAddress(address.toStdString()) && !addresses.contains(address)) {
            addresses.append(address);
        }
        if (addresses.size() == kKept) {
            break;
        }
    }
    return addresses;
}

void RecentAddresses::Add(const QString& address) {
    if (!link::ParseNetworkAddress(address.toStdString())) {
        return;
    }
    QStringList addresses = Addresses();
    if (!addresses.isEmpty() && addresses.first() == address) {
        return;
    }
    addresses.removeAll(address);
    addresses.prepend(address);
    while (addresses.size() > kKept) {
        addresses.removeLast();
    }
    QSaveFile file(fileName_);
    if (file.open(QIODevice::WriteOnly)) {
        file.write((addresses.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        file.commit();
    }
}

}  // namespace lumvaris::session
