#pragma once

#include <QString>

#include <utility>

namespace lumvaris::session {

// What an operation that can fail leaves: done, or the message for the engineer (in Russian, as
// both programs show it). Operations return this instead of throwing; each face shows the
// message its own way.
class Result {
  public:
    static Result Done() { return Result(); }
    static Result Failed(QString message) { return Result(std::move(message)); }

    bool IsDone() const { return message_.isEmpty(); }
    const QString& Message() const { return message_; }

  private:
    Result() = default;
    explicit Result(QString message)
        : message_(message.isEmpty() ? QStringLiteral("Непредвиденная ошибка.") : std::move(message)) {}
    QString message_;
};

}  // namespace lumvaris::session
