#include "platform/File_Lock.h"

#include "tests/support/Corpus.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Profile_Builder.h"
#include "tests/support/Scratch_Folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace plotvane {
namespace {

namespace fs = std::filesystem;
using test::TBytes;
using TClock = std::chrono::steady_clock;

// A run that takes longer has hung: it is ended, and fails.
constexpr std::chrono::seconds Longest_Run{60};

// A program to start: its command line, its only variables, its current directory.
struct TCommand {
    std::vector<std::string> Line;
    std::vector<std::string> Environment;
    std::string Folder;
};

struct TRun {
    int Exit_Code = -1;
    std::string Out;
    std::string Err;
    TClock::duration Time{};
};

std::string First_Line(const std::string& text)
{
    return text.substr(0, text.find_first_of("\r\n"));
}

// A running program, its standard streams on pipes.
class TChild {
public:
    explicit TChild(TCommand command)
    {
        int in[2], out[2], err[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
            pipe2(err, O_CLOEXEC) != 0) {
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
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    // Its next line of standard output, without the line break ("\r\n" from a Windows program).
    std::string Read_Line()
    {
        std::string line;
        for (char c = 0; read(out_, &c, 1) == 1 && c != '\n';) {
            line += c;
        }
        return First_Line(line);
    }

    // Closes its standard input and collects its outputs until it exits. The end is its exit,
    // not the end of the pipes: Wine's services, started by the first run, keep them open.
    TRun Finish()
    {
        close(in_);
        TRun run;
        int status = 0;
        for (bool exited = false; !exited;) {
            pollfd streams[] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
            poll(streams, 2, 20);
            exited = waitpid(pid_, &status, WNOHANG) == pid_;
            if (!exited && TClock::now() - start_ > Longest_Run) {
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

private:
    static std::vector<char*> Pointers(std::vector<std::string>& texts)
    {
        std::vector<char*> pointers;
        for (std::string& text : texts) {
            pointers.push_back(text.data());
        }
        pointers.push_back(nullptr);
        return pointers;
    }

    static void Take_Available(int descriptor, std::string& text)
    {
        fcntl(descriptor, F_SETFL, O_NONBLOCK);
        char buffer[65536];
        for (ssize_t size; (size = read(descriptor, buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(size));
        }
    }

    const TClock::time_point start_ = TClock::now();
    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
};

TRun Run(const TCommand& command)
{
    return TChild(command).Finish();
}

// The private Wine prefix of this build (made by the first run) and one wineserver for the
// whole test, so that a run of a Windows program takes tens of milliseconds. Both programs get
// these variables alone: no display, no installer dialog, Wine's messages off.
class TWine {
public:
    static inline const std::string Folder = PLOTVANE_WINE_FOLDER;

    TWine()
    {
        fs::create_directories(Folder + "/prefix");
        fs::create_directories(Folder + "/home");
        environment_ = {"PATH=" + std::string(std::getenv("PATH")), "HOME=" + Folder + "/home",
                        "USER=player", "LANG=C.UTF-8", "WINEPREFIX=" + Folder + "/prefix",
                        "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml="};
        const TRun server = Run({{PLOTVANE_WINESERVER, "-p"}, environment_, Folder});
        EXPECT_EQ(server.Exit_Code, 0) << server.Err;
        const TRun profile = Run(Command({"cmd", "/c", "echo %USERPROFILE%"}, Folder));
        EXPECT_EQ(profile.Exit_Code, 0) << profile.Err;
        documents_ = Converted("-u", First_Line(profile.Out) + "\\Documents");
    }
    ~TWine() { Run({{PLOTVANE_WINESERVER, "-k"}, environment_, Folder}); }
    TWine(const TWine&) = delete;
    TWine& operator=(const TWine&) = delete;

    // A Windows program's command, with `variables` added to the others.
    TCommand Command(std::vector<std::string> line, const std::string& folder,
                     const std::vector<std::string>& variables = {}) const
    {
        line.insert(line.begin(), PLOTVANE_WINE);
        TCommand command = {line, environment_, folder};
        command.Environment.insert(command.Environment.end(), variables.begin(), variables.end());
        return command;
    }
    const std::vector<std::string>& Environment() const { return environment_; }
    // The folder that FOLDERID_Documents names in the prefix.
    const std::string& Documents() const { return documents_; }
    std::string Windows_Path(const std::string& path) const { return Converted("-w", path); }

private:
    std::string Converted(const std::string& option, const std::string& path) const
    {
        const TRun run = Run(Command({"winepath", option, path}, Folder));
        EXPECT_EQ(run.Exit_Code, 0) << path << ": " << run.Err;
        return First_Line(run.Out);
    }

    std::vector<std::string> environment_;
    std::string documents_;
};

// Expects the same texts; a failure shows where they part, with a little of each.
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

// Every file below a folder by its path there, with its bytes.
using TFolder_State = std::map<std::string, TBytes>;

TFolder_State Folder_State(const std::string& folder)
{
    TFolder_State state;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory()) {
            state[fs::relative(entry.path(), folder).string()] =
                test::Read_Plain_File(entry.path().string());
        }
    }
    return state;
}

// The files that `state` holds beside `expected`, or holds otherwise, or lacks.
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

enum class TOutcome {
    Listing,    // writes nothing
    Refusal,    // fails and writes nothing
    Edit,       // writes the map, the original kept in MAP.bak1
    Conversion, // writes the map, the original kept in MAP.bak
};

// Where the game user folder comes from, when not from --game-folder.
enum class TDocuments { Argument, Variable, Wine_Prefix };

struct TRow {
    std::vector<std::string> Arguments; // "{map}" stands for the map's name
    std::string Challenge;              // the corpus file copied in as the map
    TOutcome Outcome = TOutcome::Listing;
    std::string Map = "";               // the map's relative name; the challenge's by default
    TDocuments Documents = TDocuments::Argument;
    bool Lock_Held_First = false;       // first run while another Windows process edits the map
    bool Stale_Temporary = false;       // a killed save left its temporary file beside the map
};

// A command on a map of Nadeo's, with the game user folder that holds the profile.
std::vector<std::string> Edit(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin() + 1, {"--game-folder", "TrackMania"});
    return arguments;
}

const std::string Pasted_Blocks = "Pasted.txt";
const std::string Temporary_Mark = ".plotvane-";

void Write_Game_Folder(const std::string& folder)
{
    fs::create_directories(folder + "/TrackMania/Profiles");
    test::Write_Profile_File(folder + "/TrackMania/Profiles/P.Profile.Gbx", {"nadeo"});
}

// A folder as a player has it: the game user folder with the profile of Nadeo (who made the
// real maps edited here), the row's map and blocks to paste. Returns the map's path.
std::string Make_Player_Folder(const std::string& folder, const TRow& row)
{
    Write_Game_Folder(folder);
    const std::string blocks = "{\"name\":\"StadiumRoadMainGTCurve3\",\"rotation\":1,\"x\":17,"
                               "\"z\":6,\"y\":25,\"variations\":[0,0,0,0]}\n";
    test::Write_Plain_File(folder + "/" + Pasted_Blocks, TBytes(blocks.begin(), blocks.end()));
    const fs::path map = fs::path(folder) / row.Map;
    fs::create_directories(map.parent_path());
    fs::copy_file(test::Corpus_File(row.Challenge), map);
    // The corpus is read-only, a player's map is not: Wine shows a file without write
    // permission as read-only, which Windows refuses to replace.
    fs::permissions(map, fs::perms::owner_write, fs::perm_options::add);
    if (row.Stale_Temporary) {
        const std::string name = "." + map.filename().string() + Temporary_Mark + "Xy12Z9";
        test::Write_Plain_File((map.parent_path() / name).string(), {1, 2, 3});
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

// Runs the row's command with the Linux program and with the Windows one under Wine, each in a
// copy of the same player's folder, and expects the same exit code, outputs and files.
void Check_Row(TRow row, const TWine& wine)
{
    if (row.Map.empty()) {
        row.Map = fs::path(row.Challenge).filename().string();
    }
    std::vector<std::string> arguments;
    for (const std::string& argument : row.Arguments) {
        arguments.push_back(argument == "{map}" ? row.Map : argument);
    }
    SCOPED_TRACE(row.Challenge + ": " + testing::PrintToString(arguments));
    const test::TScratch_Folder linux_folder;
    const test::TScratch_Folder windows_folder;
    const std::string linux_map = Make_Player_Folder(linux_folder.Path(), row);
    Make_Player_Folder(windows_folder.Path(), row);
    const TFolder_State before = Folder_State(windows_folder.Path());

    TCommand linux_command = {{PLOTVANE_LINUX_CLI}, wine.Environment(), linux_folder.Path()};
    linux_command.Line.insert(linux_command.Line.end(), arguments.begin(), arguments.end());
    arguments.insert(arguments.begin(), PLOTVANE_WINDOWS_CLI);
    std::vector<std::string> windows_variables;
    if (row.Documents == TDocuments::Variable) {
        linux_command.Environment.push_back("PLOTVANE_DOCUMENTS=" + linux_folder.Path());
        windows_variables.push_back("PLOTVANE_DOCUMENTS=" +
                                    wine.Windows_Path(windows_folder.Path()));
    }
    const TCommand windows_command =
        wine.Command(arguments, windows_folder.Path(), windows_variables);
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

// The corpus's GBX files by their names below it.
std::vector<std::string> Corpus_Gbx_Files()
{
    std::vector<std::string> names;
    const fs::path corpus = PLOTVANE_CORPUS_DIR;
    for (const fs::path& folder : {corpus, corpus / "campaign"}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".Gbx") {
                names.push_back(fs::relative(entry.path(), corpus).string());
            }
        }
    }
    return names;
}

// plotvane-cli.exe under Wine does what plotvane-cli does on Linux, byte for byte: listings of
// every real file, each editing command on a real map with its backup, refused edits that
// leave the folder as it was, the lock of another process's edit, a killed save's temporary
// file, names outside ASCII and past 260 characters, and where the game user folder is found.
TEST(Windows_Cli, Runs_Under_Wine_As_The_Linux_Program_Runs)
{
    PLOTVANE_REQUIRE_CORPUS_FILE(endurance_path, "E02-Endurance.Challenge.Gbx");
    const TWine wine;
    Write_Game_Folder(wine.Documents());
    const std::string endurance = "E02-Endurance.Challenge.Gbx";
    const std::string other_players = "SpeedNotice.Challenge.Gbx";
    std::vector<TRow> rows = {
        {Edit({"set", "{map}", "5", "--rotation", "2"}), endurance, TOutcome::Edit},
        {Edit({"set", "{map}", "--rotation", "1", "--index", "10-19"}), endurance, TOutcome::Edit},
        {Edit({"move", "{map}", "--dx", "1", "--index", "0-99", "--json"}), endurance,
         TOutcome::Edit},
        {Edit({"rotate", "{map}", "--quarter-turns", "1", "--name", "StadiumRoadMain"}),
         endurance, TOutcome::Edit},
        {Edit({"replace", "{map}", "--from", "StadiumRoadMainCheckpoint", "--to",
               "StadiumRoadMainGTCurve2"}),
         endurance, TOutcome::Edit},
        {Edit({"duplicate", "{map}", "--index", "3", "--dz", "1"}), endurance, TOutcome::Edit},
        {Edit({"delete", "{map}", "--index", "7"}), endurance, TOutcome::Edit},
        {Edit({"paste", "{map}", Pasted_Blocks}), endurance, TOutcome::Edit},
        {Edit({"pack", "{map}"}), endurance, TOutcome::Edit},
        {{"convert", "{map}"}, endurance, TOutcome::Conversion, "", TDocuments::Variable},
        {Edit({"set", "{map}", "907", "--rotation", "1"}), endurance, TOutcome::Refusal},
        {Edit({"set", "{map}", "0", "--rotation", "1"}), other_players, TOutcome::Refusal},
        {{"convert", "{map}"}, other_players, TOutcome::Refusal, "", TDocuments::Variable},
        {Edit({"move", "{map}", "--dz", "1", "--index", "0"}), endurance, TOutcome::Edit, "",
         TDocuments::Argument, true},
        {Edit({"set", "{map}", "5", "--rotation", "3"}), endurance, TOutcome::Edit, "",
         TDocuments::Argument, false, true},
        // The variable wins over the prefix's documents folder, which holds a game folder too.
        {{"profiles"}, endurance, TOutcome::Listing, "", TDocuments::Variable},
        {{"profiles"}, endurance, TOutcome::Listing, "", TDocuments::Wine_Prefix},
    };
    const std::string deep_folder = std::string(100, 'd') + "/" + std::string(100, 'e') + "/";
    for (const std::string& map :
         {std::string("Été.Challenge.Gbx"), std::string("日本.Challenge.Gbx"),
          deep_folder + std::string(80, 'f') + ".Challenge.Gbx"}) {
        rows.push_back({{"blocks", "{map}"}, endurance, TOutcome::Listing, map});
        rows.push_back(
            {Edit({"set", "{map}", "5", "--rotation", "2"}), endurance, TOutcome::Edit, map});
    }
    for (const std::string& file : Corpus_Gbx_Files()) {
        for (const std::vector<std::string>& listing :
             {std::vector<std::string>{"info", "{map}"}, {"blocks", "{map}"},
              {"blocks", "--json", "{map}"}}) {
            rows.push_back({listing, file});
        }
    }
    for (const TRow& row : rows) {
        Check_Row(row, wine);
    }
}

} // namespace
} // namespace plotvane
