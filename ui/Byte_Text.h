#pragma once

#include <QString>

#include <string>

namespace plotvane {

// Names and logins are byte strings: each byte is the character of the same number, so a text
// shown and read back gives exactly the bytes it had.
inline QString From_Bytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string To_Bytes(const QString& text)
{
    return text.toLatin1().toStdString();
}

} // namespace plotvane
