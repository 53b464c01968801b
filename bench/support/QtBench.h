#pragma once

#include <QApplication>
#include <QEvent>
#include <QObject>

namespace lumvaris::bench {

// Counts the paints of a widget it filters, to show that a measured redraw really painted.
struct PaintCounter : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
    long paints = 0;
};

// The benchmark program's application, made at the first call and never destroyed: the widgets
// of the benchmarks outlive main's return.
inline QApplication& BenchApplication(const char* name) {
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name), nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace lumvaris::bench
