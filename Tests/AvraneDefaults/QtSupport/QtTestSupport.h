#pragma once

#include <chrono>
#include <functional>
#include <ostream>

#include <QByteArray>
#include <QString>

namespace avrane::testing {

// Runs the event loop until `condition` holds; false when `deadline` passes first. The
// deadline is only a guard against a hang, so callers pass a generous one.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = std::chrono::seconds(20));

// The folder the test main made for this process; XDG_CONFIG_HOME and TMPDIR point inside it.
QString testHome();

// A path for a file that does not exist yet, unique within the process.
QString freshFilePath(const QString& suffix = QStringLiteral(".conf"));

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& contents);

}  // namespace avrane::testing

// Readable failure messages for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
