#include "tests/windows/Wine_Process.h"

#include "platform/File_Lock.h"

#include "tests/support/Corpus.h"
#include "tests/support/Profile_Builder.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace plotvane::test {

namespace fs = std::filesystem;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts)
{
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

void Take_Available(int descriptor, std::string& text)
{
    fcntl(descriptor, F_SETFL, O_NONBLOCK);
    char buffer[65536];
    for (ssize_t size; (size = read(descriptor, buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(size));
    }
}

} // namespace

std::string First_Line(const std::string& text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

TChild::TChild(TCommand command)
{
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        throw std::runtime_error("cannot make the pipes of " + command.Line[0]);
    }
    const std::vector<char*> argv = Pointers(command.Line);
    const std::vector<char*> envp = Pointers(command.Environment);
    pid_ = fork();
    if (pid_ == 0) {
        if (dup2(in[0], 0) == 0 && dup2(out[1], 1) == 1 && dup2(err[1], 2) == 2 &&
            chdir(command.Folder.c_str()) == 0) {
            execve(argv[0], argv.data(), envp.data());
        }
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
}

TChild::~TChild()
{
    if (!finished_) {
        Stop();
    }
}

std::string TChild::Read_Line()
{
    std::string line;
    for (char c = 0; read(out_, &c, 1) == 1 && c != '\n';) {
        line += c;
    }
    return First_Line(line);
}

TRun TChild::Finish(TClock::duration longest)
{
    finished_ = true;
    close(in_);
    TRun run;
    int status = 0;
    for (bool exited = false; !exited;) {
        pollfd streams[] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        poll(streams, 2, 20);
        exited = waitpid(pid_, &status, WNOHANG) == pid_;
        if (!exited && TClock::now() - start_ > longest) {
            kill(pid_, SIGKILL);
        }
        Take_Available(out_, run.Out);
        Take_Available(err_, run.Err);
    }
    close(out_);
    close(err_);
    run.Exit_Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Time = TClock::now() - start_;
    return run;
}

void TChild::Stop()
{
    kill(pid_, SIGTERM);
    Finish();
}

TRun Run(const TCommand& command)
{
    return TChild(command).Finish();
}

const std::string TWine::Folder = PLOTVANE_WINE_FOLDER;

TWine::TWine(const std::vector<std::string>& variables)
{
    fs::create_directories(Folder + "/prefix");
    fs::create_directories(Folder + "/home");
    environment_ = {"PATH=" + std::string(std::getenv("PATH")), "HOME=" + Folder + "/home",
                    "USER=player", "LANG=C.UTF-8", "WINEPREFIX=" + Folder + "/prefix",
                    "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
    environment_.insert(environment_.end(), variables.begin(), variables.end());
    const TRun server = Run({{PLOTVANE_WINESERVER, "-p"}, environment_, Folder});
    EXPECT_EQ(server.Exit_Code, 0) << server.Err;
    const TRun profile = Run(Command({"cmd", "/c", "echo %USERPROFILE%"}, Folder));
    EXPECT_EQ(profile.Exit_Code, 0) << profile.Err;
    documents_ = Converted("-u", First_Line(profile.Out) + "\\Documents");
}

TWine::~TWine()
{
    Run({{PLOTVANE_WINESERVER, "-k"}, environment_, Folder});
}

TCommand TWine::Command(std::vector<std::string> line, const std::string& folder,
                        const std::vector<std::string>& variables) const
{
    line.insert(line.begin(), PLOTVANE_WINE);
    TCommand command = {line, environment_, folder};
    command.Environment.insert(command.Environment.end(), variables.begin(), variables.end());
    return command;
}

std::string TWine::Converted(const std::string& option, const std::string& path) const
{
    const TRun run = Run(Command({"winepath", option, path}, Folder));
    EXPECT_EQ(run.Exit_Code, 0) << path << ": " << run.Err;
    return First_Line(run.Out);
}

void Expect_Same_Text(const std::string& what, const std::string& text,
                      const std::string& expected)
{
    const auto at = std::mismatch(text.begin(), text.end(), expected.begin(), expected.end());
    const std::size_t from = std::max<std::ptrdiff_t>(at.first - text.begin() - 40, 0);
    EXPECT_TRUE(text == expected) << what << " differs from byte " << at.first - text.begin()
                                  << ":\n  " << testing::PrintToString(text.substr(from, 120))
                                  << "\nwhere the Linux program gives\n  "
                                  << testing::PrintToString(expected.substr(from, 120));
}

TFolder_State Folder_State(const std::string& folder)
{
    TFolder_State state;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory()) {
            state[fs::relative(entry.path(), folder).string()] =
                Read_Plain_File(entry.path().string());
        }
    }
    return state;
}

std::string Differences(const TFolder_State& state, const TFolder_State& expected)
{
    std::string differences;
    for (const auto& [name, bytes] : state) {
        const auto match = expected.find(name);
        if (match == expected.end() || match->second != bytes) {
            differences += name + (match == expected.end() ? " is new\n" : " differs\n");
        }
    }
    for (const auto& entry : expected) {
        if (state.count(entry.first) == 0) {
            differences += entry.first + " is missing\n";
        }
    }
    return differences;
}

const std::string Pasted_Blocks = "Pasted.txt";

namespace {

const std::string Temporary_Mark = ".plotvane-";

// A folder as a player has it: the game user folder with the row's profiles (Nadeo's, who made
// the real maps edited here, unless told), the row's map and blocks to paste. Returns the
// map's path.
std::string Make_Player_Folder(const std::string& folder, const TRow& row)
{
    Write_Game_Folder(folder, row.Logins);
    const std::string blocks = "{\"name\":\"StadiumRoadMainGTCurve3\",\"rotation\":1,\"x\":17,"
                               "\"z\":6,\"y\":25,\"variations\":[0,0,0,0]}\n";
    Write_Plain_File(folder + "/" + Pasted_Blocks, TBytes(blocks.begin(), blocks.end()));
    const fs::path map = fs::path(folder) / row.Map;
    fs::create_directories(map.parent_path());
    if (row.Map_File == TMap_File::Not_Gbx) {
        Write_Plain_File(map.string(), {'n', 'o', 't', ' ', 'G', 'B', 'X'});
    } else if (row.Map_File == TMap_File::Corpus_Copy) {
        fs::copy_file(Corpus_File(row.Challenge), map);
        // The corpus is read-only, a player's map is not: Wine shows a file without write
        // permission as read-only, which Windows refuses to replace.
        fs::permissions(map, fs::perms::owner_write, fs::perm_options::add);
    }
    if (row.Stale_Temporary) {
        const std::string name = "." + map.filename().string() + Temporary_Mark + "Xy12Z9";
        Write_Plain_File((map.parent_path() / name).string(), {1, 2, 3});
    }
    if (row.Backup_In_The_Way) {
        fs::create_directory(map.string() + ".bak");
    }
    return map.string();
}

// The Linux program's output as the Windows one prints it: a path in the Linux program's
// folder or in the Wine prefix runs to the end of its line, and Wine gives its Windows form.
std::string Windows_Form(const std::string& text, const std::string& linux_folder,
                         const std::string& windows_folder, const TWine& wine)
{
    std::string converted;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        for (const std::string& root : {linux_folder, TWine::Folder}) {
            const std::size_t start = line.find(root);
            if (start != std::string::npos) {
                const std::string path = line.substr(start);
                line = line.substr(0, start) +
                       wine.Windows_Path(root == TWine::Folder
                                             ? path
                                             : windows_folder + path.substr(root.size()));
            }
        }
        converted += line + "\n";
    }
    return converted;
}

} // namespace

void Write_Game_Folder(const std::string& folder, const std::vector<std::string>& logins)
{
    fs::create_directories(folder + "/TrackMania/Profiles");
    for (std::size_t i = 0; i < logins.size(); ++i) {
        Write_Profile_File(folder + "/TrackMania/Profiles/P" + std::to_string(i) + ".Profile.Gbx",
                           {logins[i]});
    }
}

void Check_Row(TRow row, const TWine& wine, const TPrograms& programs,
               const std::vector<std::string>& windows_variables)
{
    if (row.Map.empty()) {
        row.Map = fs::path(row.Challenge).filename().string();
    }
    std::vector<std::string> arguments;
    for (const std::string& argument : row.Arguments) {
        arguments.push_back(argument == "{map}" ? row.Map : argument);
    }
    SCOPED_TRACE(row.Challenge + ": " + testing::PrintToString(arguments) + " " +
                 testing::PrintToString(windows_variables));
    const TScratch_Folder linux_folder;
    const TScratch_Folder windows_folder;
    const std::string linux_map = Make_Player_Folder(linux_folder.Path(), row);
    Make_Player_Folder(windows_folder.Path(), row);
    const TFolder_State before = Folder_State(windows_folder.Path());

    TCommand linux_command = {{programs.Linux}, wine.Environment(), linux_folder.Path()};
    linux_command.Line.insert(linux_command.Line.end(), arguments.begin(), arguments.end());
    arguments.insert(arguments.begin(), programs.Windows);
    std::vector<std::string> variables = windows_variables;
    if (row.Documents == TDocuments::Variable) {
        linux_command.Environment.push_back("PLOTVANE_DOCUMENTS=" + linux_folder.Path());
        variables.push_back("PLOTVANE_DOCUMENTS=" + wine.Windows_Path(windows_folder.Path()));
    }
    const TCommand windows_command = wine.Command(arguments, windows_folder.Path(), variables);
    const auto expect_same = [&](const TRun& linux_run, const TRun& windows_run) {
        EXPECT_EQ(windows_run.Exit_Code, linux_run.Exit_Code) << windows_run.Err;
        for (const auto& [what, text, linux_text] :
             {std::tuple("Standard output", windows_run.Out, linux_run.Out),
              std::tuple("Standard error", windows_run.Err, linux_run.Err)}) {
            Expect_Same_Text(what, text,
                             Windows_Form(linux_text, linux_folder.Path(), windows_folder.Path(),
                                          wine));
        }
    };

    if (row.Lock_Held_First) {
        TChild holder(wine.Command({PLOTVANE_WINDOWS_LOCK_HOLDER, row.Map}, windows_folder.Path()));
        EXPECT_EQ(holder.Read_Line(), "locked " + row.Map);
        const TFile_Lock linux_holder(linux_map);
        const TRun windows_run = Run(windows_command);
        expect_same(Run(linux_command), windows_run);
        EXPECT_NE(windows_run.Exit_Code, 0);
        EXPECT_GE(windows_run.Time, TFile_Lock::Default_Wait);
        EXPECT_EQ(Differences(Folder_State(windows_folder.Path()), before), "");
        EXPECT_EQ(holder.Finish().Exit_Code, 0);
    }
    const TRun windows_run = Run(windows_command);
    expect_same(Run(linux_command), windows_run);
    const TFolder_State after = Folder_State(windows_folder.Path());
    EXPECT_EQ(Differences(after, Folder_State(linux_folder.Path())), "") << "beside ours";
    if (row.Outcome == TOutcome::Listing || row.Outcome == TOutcome::Refusal) {
        EXPECT_EQ(Differences(after, before), "") << "beside the files before the run";
        EXPECT_TRUE(row.Outcome == TOutcome::Listing || windows_run.Exit_Code != 0);
        return;
    }
    EXPECT_EQ(windows_run.Exit_Code, 0);
    const std::string backup = row.Map + (row.Outcome == TOutcome::Edit ? ".bak1" : ".bak");
    EXPECT_TRUE(after.count(backup) == 1 && after.at(backup) == before.at(row.Map)) << backup;
    for (const auto& entry : after) {
        EXPECT_EQ(entry.first.find(Temporary_Mark), std::string::npos) << entry.first;
    }
}

} // namespace plotvane::test
