#pragma once

#include <chrono>
#include <functional>
#include <ostream>

#include <QByteArray>
#include <QString>

namespace avrane::testing {

// Runs the event loop until `condition` holds, looking at it after each event and every 20 ms;
// false if the (generous) deadline passes first.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = std::chrono::seconds(20));

// A path, unique within the process, inside the folder the test main made for this process.
QString freshFilePath(const QString& suffix = QStringLiteral(".conf"));
QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& contents);

}  // namespace avrane::testing

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
