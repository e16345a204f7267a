#pragma once

#include <QFile>
#include <QString>

#include <filesystem>
#include <string>

namespace plotvane {

constexpr char Separator = static_cast<char>(std::filesystem::path::preferred_separator);

// The core takes paths as the system's narrow strings: the locale's encoding on Linux, the
// ANSI code page on Windows. Qt knows both ways, also for a name that is not valid UTF-8.
inline QString From_Path(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

inline std::string To_Path(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

// Everything up to and including the last separator.
inline std::string Folder_Part(const std::string& path)
{
#ifdef _WIN32
    const std::size_t end = path.find_last_of("\\:/");
#else
    const std::size_t end = path.find_last_of('/');
#endif
    return end == std::string::npos ? std::string() : path.substr(0, end + 1);
}

// The part of a path after its folder.
inline std::string File_Part(const std::string& path)
{
    return path.substr(Folder_Part(path).size());
}

} // namespace plotvane
