#include "challenge/TMF_Block_Names.h"

#include "platform/File_System.h"
#include "platform/Utf8_Paths.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

namespace plotvane {

namespace {

[[noreturn]] void Raise_Cannot_Open(const std::string& path, int errno_value)
{
    std::error_code ignored;
    const std::filesystem::path full_name =
        std::filesystem::absolute(Path_From_Utf8(path), ignored);
    throw EFOpenError("Cannot open file \"" +
                      (full_name.empty() ? path : Utf8_From_Path(full_name)) + "\". " +
                      std::strerror(errno_value));
}

std::string Read_Whole_File(const std::string& path)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(Open_File_Stream(path, "rb"),
                                                                &std::fclose);
    if (!file) {
        Raise_Cannot_Open(path, errno);
    }
    std::string text;
    char buffer[64 * 1024];
    std::size_t delivered = 0;
    while ((delivered = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        text.append(buffer, delivered);
    }
    // A folder opens on some systems and fails only here; the user is told the same way.
    if (std::ferror(file.get()) != 0) {
        Raise_Cannot_Open(path, errno);
    }
    return text;
}

std::vector<std::string> Split_Lines(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        const bool cr_lf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        start = end + (cr_lf ? 2 : 1);
    }
    return lines;
}

} // namespace

std::string Block_Name_List_File_Name(const std::string& collection)
{
    return "Blocks-" + collection + ".Lst";
}

std::vector<std::string> Block_Name_List_Folders(const std::string& program_folder)
{
    const std::filesystem::path data_folder =
        (Path_From_Utf8(program_folder) / ".." / "share" / "plotvane" / "").lexically_normal();
    return {program_folder, Utf8_From_Path(data_folder)};
}

std::string Find_Block_Name_List(const std::vector<std::string>& folders,
                                 const std::string& collection)
{
    const std::string file_name = Block_Name_List_File_Name(collection);
    for (const std::string& folder : folders) {
        if (File_Exists(folder + file_name)) {
            return folder + file_name;
        }
    }
    return folders.empty() ? file_name : folders.front() + file_name;
}

std::vector<std::string> Read_Block_Name_List(const std::string& path)
{
    return Split_Lines(Read_Whole_File(path));
}

} // namespace plotvane
