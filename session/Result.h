#pragma once

#include <QCoreApplication>
#include <QString>

#include <exception>
#include <functional>
#include <utility>

namespace lumvaris::session {

// What an operation that can fail leaves: done, or the message for the engineer (in Russian, as
// both programs show it). Operations return this instead of throwing; each face shows the
// message its own way.
class Result {
  public:
    static Result Done() { return Result(); }
    static Result Failed(QString message) { return Result(std::move(message)); }
    // Runs a step that may throw (a write to a port that went away, a file that will not open) and
    // turns what it threw into the message.
    static Result Catching(const std::function<void()>& step) {
        try {
            step();
        } catch (const std::exception& e) {
            return Failed(QString::fromUtf8(e.what()));
        } catch (...) {
            return Failed(QString());
        }
        return Done();
    }

    bool IsDone() const { return message_.isEmpty(); }
    const QString& Message() const { return message_; }

  private:
    Result() = default;
    explicit Result(QString message)
        : message_(message.isEmpty()
                       ? QCoreApplication::translate("session::Result", "Непредвиденная ошибка.")
                       : std::move(message)) {}
    QString message_;
};

}  // namespace lumvaris::session
