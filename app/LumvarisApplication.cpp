#include "LumvarisApplication.h"

#include <exception>

namespace lumvaris::app {

LumvarisApplication::LumvarisApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool LumvarisApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (report_) {
            report_(QString::fromUtf8(e.what()));
        }
    } catch (...) {
        if (report_) {
            report_(QStringLiteral("Непредвиденная ошибка."));
        }
    }
    return false;
}

}  // namespace lumvaris::app
