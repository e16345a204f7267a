#pragma once

#include <QDir>
#include <QFile>
#include <QString>

#include <filesystem>
#include <string>

namespace plotvane {

constexpr char Separator = static_cast<char>(std::filesystem::path::preferred_separator);

#ifdef _WIN32
// The core's paths are UTF-8 on Windows (platform/Utf8_Paths.h), as every text of the window is;
// the names Qt gives (file dialogs) separate folders with '/', which the caption and the status
// bar show as Windows does.
inline QString From_Path(const std::string& path)
{
    return QString::fromStdString(path);
}

inline std::string To_Path(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdString();
}
#else
// Elsewhere the core takes paths as the system's bytes, in the locale's encoding: Qt knows both
// ways, also for a name that is not valid UTF-8.
inline QString From_Path(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

inline std::string To_Path(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}
#endif

// What the core reports when a file fails (it names the file) reads as its paths do.
inline QString From_Core_Message(const char* message)
{
    return From_Path(message);
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
