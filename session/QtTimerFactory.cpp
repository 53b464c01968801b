#include "QtTimerFactory.h"

#include <QTimer>

namespace lumvaris::session {
namespace {

class QtTimer final : public ITimer {
  public:
    QtTimer(const std::string& name, int intervalMs, std::function<void()> onTimeout) {
        timer_.setObjectName(QString::fromStdString(name));
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [handler = std::move(onTimeout)] { handler(); });
    }
    void Start() override { timer_.start(); }
    void Stop() override { timer_.stop(); }
    bool IsActive() const override { return timer_.isActive(); }
    int Interval() const override { return timer_.interval(); }

  private:
    QTimer timer_;
};

}  // namespace

std::unique_ptr<ITimer> QtTimerFactory::Create(const std::string& name, int intervalMs,
                                               std::function<void()> onTimeout) {
    return std::make_unique<QtTimer>(name, intervalMs, std::move(onTimeout));
}

}  // namespace lumvaris::session
