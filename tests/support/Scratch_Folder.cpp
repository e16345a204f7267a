#include "tests/support/Scratch_Folder.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <utility>

namespace plotvane::test {

namespace fs = std::filesystem;

namespace {

void Set_Environment(const std::string& name, const std::optional<std::string>& value)
{
    if (value) {
        setenv(name.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name.c_str());
    }
}

} // namespace

TScratch_Folder::TScratch_Folder()
{
    std::string pattern = (fs::temp_directory_path() / "plotvane-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a scratch folder from " + pattern);
    }
    path_ = pattern;
}

TScratch_Folder::~TScratch_Folder()
{
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TScratch_Folder::Make_Folder(const std::string& relative) const
{
    const fs::path folder = fs::path(path_) / relative;
    fs::create_directories(folder);
    return folder.string();
}

TScoped_Environment_Variable::TScoped_Environment_Variable(std::string name,
                                                           const std::optional<std::string>& value)
    : name_(std::move(name))
{
    if (const char* previous = std::getenv(name_.c_str())) {
        previous_ = previous;
    }
    Set_Environment(name_, value);
}

TScoped_Environment_Variable::~TScoped_Environment_Variable()
{
    Set_Environment(name_, previous_);
}

TScoped_Current_Directory::TScoped_Current_Directory(const std::string& folder)
    : previous_(fs::current_path().string())
{
    fs::current_path(folder);
}

TScoped_Current_Directory::~TScoped_Current_Directory()
{
    std::error_code ignored;
    fs::current_path(previous_, ignored);
}

TFake_Home::TFake_Home()
    : home_("HOME", folder_.Path()),
      user_("USER", "player"),
      documents_("PLOTVANE_DOCUMENTS", std::nullopt),
      xdg_config_home_("XDG_CONFIG_HOME", std::nullopt),
      wine_prefix_("WINEPREFIX", std::nullopt)
{
}

} // namespace plotvane::test
