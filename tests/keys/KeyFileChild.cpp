// Writes the key file in a separate process, for the tests that kill a writer or take its rights.
//   keys_file_child loop <file>
//       stores entry "Ключ" again and again, save k with the value k as 64 hex digits, announcing
//       "begin k" and "end k" on standard output, until killed
//   keys_file_child write <file> <name> <value>
//       stores one entry as the user "nobody" when started as root; prints "ok" or the error
#include <QString>

#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "keys/KeyFile.h"

using lumvaris::keys::KeyFile;

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "loop") == 0) {
        KeyFile keyFile(QString::fromLocal8Bit(argv[2]));
        for (int k = 1;; ++k) {
            std::printf("begin %d\n", k);
            std::fflush(stdout);
            if (!keyFile.WriteEntry(QStringLiteral("Ключ"),
                                    QStringLiteral("%1").arg(k, 64, 16, QLatin1Char('0')))) {
                std::printf("fail %d %s\n", k, keyFile.LastError().toUtf8().constData());
                return 2;
            }
            std::printf("end %d\n", k);
            std::fflush(stdout);
        }
    }
    if (argc == 5 && std::strcmp(argv[1], "write") == 0) {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            std::printf("cannot become nobody\n");
            return 1;
        }
        KeyFile keyFile(QString::fromLocal8Bit(argv[2]));
        if (!keyFile.WriteEntry(QString::fromUtf8(argv[3]), QString::fromUtf8(argv[4]))) {
            std::printf("%s\n", keyFile.LastError().toUtf8().constData());
            return 3;
        }
        std::printf("ok\n");
        return 0;
    }
    std::fprintf(stderr, "usage: %s loop <file> | write <file> <name> <value>\n", argv[0]);
    return 1;
}
