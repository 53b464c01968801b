#include "app/StatusPanels.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>

namespace lumvaris::app {
namespace {

constexpr int kPanelWidths[3] = {130, 280, 50};

}  // namespace

StatusPanels::StatusPanels(QStatusBar* bar) {
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        // At least the design width; a longer text widens the panel rather than being cut off.
        panel->setMinimumWidth(kPanelWidths[i]);
        // The last panel runs to the right edge of the window.
        bar->addWidget(panel, i == 2 ? 1 : 0);
        panels_[static_cast<std::size_t>(i)] = panel;
    }
}

QLabel* StatusPanels::Panel(int index) const {
    return index >= 0 && index < 3 ? panels_[static_cast<std::size_t>(index)] : nullptr;
}

void StatusPanels::ShowBytes(std::uint32_t bytes) {
    panels_[0]->setText(QCoreApplication::translate("app::StatusPanels", " Байт принято = %1").arg(bytes));
}

void StatusPanels::ShowPortState(const QString& text, const QString& journalProblem) {
    panels_[1]->setText(text);
    panels_[1]->setToolTip(journalProblem.isEmpty() ? text : text + QLatin1Char('\n') + journalProblem);
}

}  // namespace lumvaris::app
