#pragma once

#include <QString>
#include <QStringList>

namespace lumvaris::session {

// The network addresses connected to lately, newest first, kept in "RecentAddresses.txt" in the
// program's directory (one per line) so that the port list offers them under the local ports.
// A file that cannot be read is an empty list; one that cannot be written loses only the list.
class RecentAddresses {
  public:
    static constexpr int kKept = 8;

    explicit RecentAddresses(QString programDirectory);

    QStringList Addresses() const;
    // Puts the address first (once) and writes the list; local port names are not kept.
    void Add(const QString& address);

  private:
    QString fileName_;
};

}  // namespace lumvaris::session
