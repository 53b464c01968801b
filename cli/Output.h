#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>

namespace lumvaris::cli {

// Standard output takes the data (text lines, or one JSON object per line), standard error the
// messages and, on a terminal, the progress bar.
class Output {
  public:
    explicit Output(bool json);

    bool Json() const { return json_; }
    // A line of data in text form; nothing with --json.
    void Text(const QString& line);
    // One JSON object on a line of its own; nothing without --json.
    void Object(const QJsonObject& object);
    // A message on standard error (the progress bar, if any, is cleared first).
    void Message(const QString& text);

    // The progress bar: shown only when standard error is a terminal and --json is not given.
    void Progress(qint64 done, qint64 total);
    void EndProgress();

  private:
    bool json_;
    bool bar_;
    bool barShown_ = false;
    QElapsedTimer started_;
    qint64 lastDrawnMs_ = -1000;
};

}  // namespace lumvaris::cli
