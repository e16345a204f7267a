// The editor window's own work, each figure beside its reference measured in the same run:
// the one-argument conversion of a 64 MiB image beside its parts run alone (load, copy, save),
// start-up with 1,000 profiles beside the profile search alone, and on a 1,000,000-block
// challenge, in a window shown with its map as a player opens it: the listing a player waits
// for (Reload) beside loading and walking the file, a block save and a batch command beside
// the block walk, and the map (built and drawn whole after a change, built alone, drawn alone;
// also with the blocks spread over every column of the grid) beside the walk. The memory
// figures are what the window holds over the empty window (Linux: VmRSS) and its peaks
// (VmHWM, reset through /proc/self/clear_refs), beside the challenge's expanded body. The
// conversion is timed by the clock (it is mostly file work); the rest in CPU time, which a
// busy machine disturbs less: the thread's own, but the whole process's for the map, which Qt
// draws with several threads.

#include "bench/Bench_Ratios.h"
#include "bench/Peak_Memory.h"
#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Profile_Read.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"
#include "platform/File_System.h"
#include "platform/Process.h"
#include "platform/Scripted_Gui_Services.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Large_Challenge.h"
#include "tests/support/Profile_Builder.h"
#include "tests/support/Scratch_Folder.h"
#include "tests/ui/Game_Folder.h"
#include "ui/Batch_Dialogs.h"
#include "ui/Main.h"
#include "ui/Map_View.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QImage>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

namespace plotvane {
namespace {

constexpr std::size_t Conversion_Image_Size = 64u << 20;
constexpr std::uint32_t Large_Block_Count = 1000000;
constexpr int Profile_Count = 1000;
constexpr double MiB = 1 << 20;

using bench::Reset_Peak;
using bench::Status_Field_Bytes;

// A game folder of the players given, which the window finds while the object lives: each
// benchmark points the program at its own, whatever ran before it.
class TGame {
public:
    explicit TGame(const std::vector<std::string>& logins) : folder_(logins) {}

    // PLOTVANE_DOCUMENTS names this game folder's documents folder until the result goes.
    test::TScoped_Environment_Variable Use() const
    {
        return test::TScoped_Environment_Variable(
            "PLOTVANE_DOCUMENTS",
            std::filesystem::path(folder_.Game_Folder()).parent_path().string());
    }
    const test::TTest_Game_Folder& Folder() const { return folder_; }

private:
    test::TTest_Game_Folder folder_;
};

// A game folder with the profile "fixture_player" and, in its Challenges folder, a challenge
// by that player whose expanded image is 64 MiB, its body packed by liblzo2 as the game packs.
struct TConversion_Setup {
    TConversion_Setup()
    {
        test::TChallenge_Description description;
        description.Tail = test::Compressible_Body(Conversion_Image_Size, 7);
        const test::TBytes plain = test::Unmasked(test::Build_Challenge(description, 0).Image, 0);
        const std::uint32_t user_data_size = test::Little_Endian_At(plain, 13);
        const std::size_t body_offset = 33 + user_data_size;
        const test::TBytes user_data(plain.begin() + 17,
                                     plain.begin() + static_cast<long>(17 + user_data_size));
        const test::TBytes body(plain.begin() + static_cast<long>(body_offset), plain.end() - 3);
        File = test::Make_Lzo_Gbx_File(test::Challenge_Class_Id, user_data, body, false);
        Image_Size = plain.size();
        Restore();
    }
    // Puts the packed file back: a conversion leaves the literal run in its place.
    void Restore() const { test::Write_Plain_File(Path, File); }

    TGame Game{{"fixture_player"}};
    std::string Path = Game.Folder().Challenge_Path("Large.Challenge.Gbx");
    test::TBytes File;
    std::size_t Image_Size = 0;
};

TConversion_Setup& Conversion_Setup()
{
    static TConversion_Setup setup;
    return setup;
}

void BM_Conversion(benchmark::State& state)
{
    TConversion_Setup& setup = Conversion_Setup();
    const auto documents = setup.Game.Use();
    TScripted_Gui_Services services;
    for (auto _ : state) {
        state.PauseTiming();
        setup.Restore();
        state.ResumeTiming();
        TMainForm form({setup.Path}, services);
        if (form.Conversion_Exit_Code() != Exit_Converted) {
            state.SkipWithError("the conversion failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.Image_Size));
}

// What the conversion is made of, run alone: load, copy to .bak, save.
void BM_Conversion_Parts(benchmark::State& state)
{
    TConversion_Setup& setup = Conversion_Setup();
    const TMemory_Mask mask = 0x21;
    for (auto _ : state) {
        state.PauseTiming();
        setup.Restore();
        state.ResumeTiming();
        TFlexible_Byte_Array image;
        if (Gbx_Load_File(setup.Path, image, mask) != 0) {
            state.SkipWithError("the load failed");
            break;
        }
        Copy_File(setup.Path, setup.Path + ".bak");
        if (Gbx_Save_File(setup.Path, image, 0, mask) != 0) {
            state.SkipWithError("the save failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * setup.Image_Size));
}

void BM_Conversion_Peak_Memory(benchmark::State& state)
{
    TConversion_Setup& setup = Conversion_Setup();
    const auto documents = setup.Game.Use();
    TScripted_Gui_Services services;
    for (auto _ : state) {
        setup.Restore();
        Reset_Peak();
        const double baseline = Status_Field_Bytes("VmRSS");
        {
            TMainForm form({setup.Path}, services);
            if (form.Conversion_Exit_Code() != Exit_Converted) {
                state.SkipWithError("the conversion failed");
                break;
            }
        }
        const double peak = Status_Field_Bytes("VmHWM") - baseline;
        state.counters["image_MiB"] = double(setup.Image_Size) / MiB;
        state.counters["peak_over_image"] = peak / double(setup.Image_Size);
    }
}

struct TProfiles_Setup {
    TProfiles_Setup()
    {
        const std::string profiles = Game.Folder().Game_Folder() + "/Profiles/";
        for (int i = 0; i < Profile_Count; ++i) {
            test::Write_Profile_File(profiles + "Player" + std::to_string(i) + ".Profile.Gbx",
                                     test::TProfile_Description("player" + std::to_string(i)));
        }
    }
    TGame Game{{}};
};

TProfiles_Setup& Profiles_Setup()
{
    static TProfiles_Setup setup;
    return setup;
}

// Start-up to the end of FormCreate, the window built but not shown.
void BM_Start_Up_1000_Profiles(benchmark::State& state)
{
    const auto documents = Profiles_Setup().Game.Use();
    TScripted_Gui_Services services;
    for (auto _ : state) {
        TMainForm form({}, services);
        if (form.Online_Profiles_ListBox->count() != Profile_Count) {
            state.SkipWithError("profiles missing");
            break;
        }
    }
    // One "byte" per profile, so that the ratio compares the two per profile.
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * Profile_Count);
}

void BM_Profile_Search_1000_Profiles(benchmark::State& state)
{
    const auto documents = Profiles_Setup().Game.Use();
    for (auto _ : state) {
        const TProfile_List profiles = Get_Online_Profiles(0x21);
        if (profiles.Count() != Profile_Count) {
            state.SkipWithError("profiles missing");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * Profile_Count);
}

// The 1,000,000-block challenge in a game folder of its author, and the size of its body.
struct TLarge_File {
    TLarge_File()
    {
        test::Write_Large_Challenge_File(Path, Large_Block_Count);
        TFlexible_Byte_Array image;
        if (Gbx_Load_File(Path, image, 0) != 0) {
            throw std::runtime_error("the large challenge does not load");
        }
        Body_Size = Gbx_Get_Compression_Info(image, 0).Uncompressed_Size;
    }
    TGame Game{{"nadeo"}};
    std::string Path = Game.Folder().Challenge_Path("Million.Challenge.Gbx");
    double Body_Size = 0;
};

TLarge_File& Large_File()
{
    static TLarge_File file;
    return file;
}

// Lets the window do what a player's event loop would: lay out, then draw what changed.
void Let_Window_Draw()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

// A window as a player has it: shown, with the map beside the list (the player never hid it).
std::unique_ptr<TMainForm> Shown_Window(TScripted_Gui_Services& services)
{
    Remember_Map_Wanted(true);
    auto form = std::make_unique<TMainForm>(std::vector<std::string>{}, services);
    form->show();
    Let_Window_Draw();
    return form;
}

// Opens the challenge in the window with its Open command and lets it draw.
void Open_In(TMainForm& form, TScripted_Gui_Services& services, const std::string& path)
{
    services.File_Names.push_back(QString::fromStdString(path));
    form.ChallengeOpen_Action->trigger();
    Let_Window_Draw();
}

// A window with the 1,000,000-block challenge open and its map shown.
struct TLarge_Setup {
    TLarge_Setup()
    {
        const auto documents = Large_File().Game.Use();
        Form = Shown_Window(Services);
        Open_In(*Form, Services, Large_File().Path);
        Map_Built = 0;
        QObject::connect(Form->Map_Canvas, &TMap_View::Map_Built, [this] { ++Map_Built; });
    }
    TScripted_Gui_Services Services;
    std::unique_ptr<TMainForm> Form;
    // How many times the window's map has been built since the window opened the challenge.
    int Map_Built = 0;
};

// Made by the first benchmark that needs it; the window it holds goes before the application.
std::unique_ptr<TLarge_Setup> Large_Setup_Storage;

TLarge_Setup* Large_Setup(benchmark::State& state)
{
    std::unique_ptr<TLarge_Setup>& setup = Large_Setup_Storage;
    if (!setup) {
        try {
            setup = std::make_unique<TLarge_Setup>();
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            return nullptr;
        }
    }
    if (setup->Form->Block_Address_List().Block_Offsets.size() != Large_Block_Count ||
        setup->Form->Map_View->isHidden()) {
        state.SkipWithError("the challenge did not open with all its blocks and its map");
        return nullptr;
    }
    return setup.get();
}

void BM_Block_Walk_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    const TMainForm& form = *setup->Form;
    for (auto _ : state) {
        const auto list = Challenge_Read_Block_List(form.Expanded_Image(), form.Memory_Mask);
        benchmark::DoNotOptimize(list.Block_Offsets.data());
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * form.Expanded_Image().size()));
}

// What any listing of the file costs: loading and expanding it, then walking its blocks.
void BM_Load_And_Walk_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    const TMemory_Mask mask = setup->Form->Memory_Mask;
    for (auto _ : state) {
        TFlexible_Byte_Array image;
        if (Gbx_Load_File(Large_File().Path, image, mask) != 0) {
            state.SkipWithError("the load failed");
            break;
        }
        const auto list = Challenge_Read_Block_List(image, mask);
        benchmark::DoNotOptimize(list.Block_Offsets.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(
        state.iterations() * setup->Form->Expanded_Image().size()));
}

// The listing a player waits for, with the map showing: Reload loads and expands the file,
// walks its blocks, lists them and builds the map, then the list and the map are drawn.
void BM_Listing_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    TMainForm& form = *setup->Form;
    const int built = setup->Map_Built;
    for (auto _ : state) {
        form.ChallengeReload_Action->trigger();
        Let_Window_Draw();
    }
    if (setup->Map_Built - built != static_cast<int>(state.iterations())) {
        state.SkipWithError("the map was not built at every listing");
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * form.Expanded_Image().size()));
}

// Whether the history holds `steps` steps and the one undone after them, as a benchmark that
// makes a step and undoes it leaves it.
bool One_Step_Undone(const TMainForm& form, int steps)
{
    return form.Undo_Stack->index() == steps && form.Undo_Stack->count() == steps + 1;
}

// Saving a real change of one block with a referenced name, its rotation turned in the panel:
// write, walk, relist with the map built and drawn again, reselect. Each save is undone
// outside the timing, so that the history stays as it was.
void BM_Block_Save_Referenced_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    TMainForm& form = *setup->Form;
    const int row = static_cast<int>(Large_Block_Count / 2);
    form.List_Block_ListBox->setCurrentIndex(form.List_Block_ListBox->model()->index(row, 0));
    Let_Window_Draw();
    const int steps = form.Undo_Stack->index();
    const int built = setup->Map_Built;
    for (auto _ : state) {
        state.PauseTiming();
        const int rotation = form.Block_Rotation_SpinEdit->value();
        form.Block_Rotation_SpinEdit->setValue((rotation + 1) % 4);
        state.ResumeTiming();
        form.Block_Save_BitBtn->click();
        Let_Window_Draw();
        state.PauseTiming();
        form.Undo_Stack->undo();
        Let_Window_Draw();
        state.ResumeTiming();
    }
    if (form.List_Block_ListBox->currentIndex().row() != row ||
        !One_Step_Undone(form, steps) ||
        setup->Map_Built - built != static_cast<int>(2 * state.iterations())) {
        state.SkipWithError("a save was not written, the map not built or the block not "
                            "selected again");
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * form.Expanded_Image().size()));
}

// A batch command through the window: every block turned a quarter turn by the session, then
// the list and the map shown again with every block selected. Each step is undone outside the
// timing, so that the history stays as it was.
void BM_Rotate_Every_Block_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    TMainForm& form = *setup->Form;
    form.List_Block_ListBox->selectAll();
    Let_Window_Draw();
    const int steps = form.Undo_Stack->index();
    for (auto _ : state) {
        form.EditRotateClockwise_Action->trigger();
        Let_Window_Draw();
        state.PauseTiming();
        form.Undo_Stack->undo();
        Let_Window_Draw();
        state.ResumeTiming();
    }
    if (form.List_Block_ListBox->selectionModel()->selection().size() != 1 ||
        !One_Step_Undone(form, steps)) {
        state.SkipWithError("the blocks were not selected again, or a turn was not made");
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * form.Expanded_Image().size()));
}

// The same turn by the session alone, on a session of its own: the window's part is the rest.
void BM_Session_Rotate_Every_Block_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    const TMainForm& form = *setup->Form;
    TChallenge_Edit_Session session(form.Expanded_Image(), form.Memory_Mask);
    TBlock_Selection every_block(session.Blocks().Block_Offsets.size());
    for (std::uint32_t block = 0; block < every_block.size(); ++block) {
        every_block[block] = block;
    }
    for (auto _ : state) {
        session.Rotate(every_block, 1);
        state.PauseTiming();
        session.Undo();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * session.Image().size()));
}

// The million blocks of the large challenge spread over the whole 256 x 256 grid of columns:
// the copies of its last block take the columns in turn (X fastest, then Y), one Z up at each
// round; the challenge's own blocks stay where they are.
TFlexible_Byte_Array Spread_Over_Every_Column(const TMainForm& form)
{
    TFlexible_Byte_Array image = form.Expanded_Image();
    const TTMF_Challenge_Block_Address_List& list = form.Block_Address_List();
    const TMemory_Mask mask = form.Memory_Mask;
    for (std::uint32_t block = test::Large_Challenge_Real_Blocks;
         block < list.Block_Offsets.size(); ++block) {
        const std::optional<std::uint32_t> fields =
            Challenge_Block_Fields_Offset(image, list, block, mask);
        if (!fields) {
            throw std::runtime_error("a block of the large challenge lies outside its image");
        }
        const std::uint32_t copy = block - test::Large_Challenge_Real_Blocks;
        // After the rotation byte: X, Z (the height), Y.
        std::uint8_t* const position = image.data() + *fields + 1;
        position[0] = static_cast<std::uint8_t>((copy % 256) ^ mask);
        position[1] = static_cast<std::uint8_t>((copy / (256 * 256)) ^ mask);
        position[2] = static_cast<std::uint8_t>((copy / 256 % 256) ^ mask);
    }
    return image;
}

// A map of 600 x 600 pixels on a session of its own, shown (offscreen) and fitted to its
// viewport, with a picture of the viewport's size to draw into.
struct TMap_Setup {
    TMap_Setup(TFlexible_Byte_Array image, TMemory_Mask mask)
        : Mask(mask), Session(std::move(image), Mask)
    {
        View.resize(600, 600);
        View.show();
        View.Show_Challenge(Session);
        View.Fit();
        Picture = QImage(View.viewport()->size(), QImage::Format_RGB32);
    }
    TMemory_Mask Mask;
    TChallenge_Edit_Session Session;
    TMap_View View;
    QImage Picture;
};

// Made by the first benchmark that needs them, on the large challenge as it stands and spread.
std::unique_ptr<TMap_Setup> Map_Setup_Storage;
std::unique_ptr<TMap_Setup> Spread_Map_Setup_Storage;

// The map of the large challenge, spread over every column or not; nothing (the benchmark
// skipped) when the map does not span the grid expected.
TMap_Setup* Map_Setup(benchmark::State& state, bool spread)
{
    TLarge_Setup* large = Large_Setup(state);
    if (large == nullptr) {
        return nullptr;
    }
    std::unique_ptr<TMap_Setup>& setup = spread ? Spread_Map_Setup_Storage : Map_Setup_Storage;
    if (!setup) {
        const TMainForm& form = *large->Form;
        try {
            setup = std::make_unique<TMap_Setup>(
                spread ? Spread_Over_Every_Column(form) : form.Expanded_Image(), form.Memory_Mask);
        } catch (const std::exception& error) {
            state.SkipWithError(error.what());
            return nullptr;
        }
    }
    const unsigned side = spread ? 256 : 32;
    if (setup->View.Map().Width() != side || setup->View.Map().Depth() != side) {
        state.SkipWithError("the map does not span the grid expected");
        return nullptr;
    }
    return setup.get();
}

// What a change costs with the map in sight: the map built again for the session, then the
// whole fitted map drawn once.
void Map_Draw(benchmark::State& state, bool spread)
{
    TMap_Setup* setup = Map_Setup(state, spread);
    if (setup == nullptr) {
        return;
    }
    for (auto _ : state) {
        setup->View.Show_Challenge(setup->Session);
        setup->View.viewport()->render(&setup->Picture);
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * setup->Session.Image().size()));
}

// The map built for the session alone, its picture of a pixel per column included.
void Map_Build(benchmark::State& state, bool spread)
{
    TMap_Setup* setup = Map_Setup(state, spread);
    if (setup == nullptr) {
        return;
    }
    for (auto _ : state) {
        setup->View.Show_Challenge(setup->Session);
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * setup->Session.Image().size()));
}

// The whole fitted map drawn, already built: a repaint with nothing changed.
void Map_Paint(benchmark::State& state, bool spread)
{
    TMap_Setup* setup = Map_Setup(state, spread);
    if (setup == nullptr) {
        return;
    }
    for (auto _ : state) {
        setup->View.viewport()->render(&setup->Picture);
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * setup->Session.Image().size()));
}

void BM_Map_Draw_1M(benchmark::State& state) { Map_Draw(state, false); }
void BM_Map_Build_1M(benchmark::State& state) { Map_Build(state, false); }
void BM_Map_Paint_1M(benchmark::State& state) { Map_Paint(state, false); }
void BM_Map_Draw_1M_Every_Column(benchmark::State& state) { Map_Draw(state, true); }
void BM_Map_Build_1M_Every_Column(benchmark::State& state) { Map_Build(state, true); }
void BM_Map_Paint_1M_Every_Column(benchmark::State& state) { Map_Paint(state, true); }

// Moves every block one level up through the Move form, saying Yes when the window asks
// about blocks that leave the challenge's size.
void Move_Every_Block_Up(TMainForm& form, TScripted_Gui_Services& services)
{
    form.List_Block_ListBox->selectAll();
    Let_Window_Draw();
    services.Dialog_Answers.push_back([](QDialog& dialog) {
        static_cast<TMove_Dialog&>(dialog).Move_DZ_SpinEdit->setValue(1);
        return true;
    });
    services.Answers.push_back(TMessage_Answer::Yes);
    form.EditMove_Action->trigger();
    Let_Window_Draw();
}

// What a window of its own holds over the same window empty (VmRSS, without giving back what
// the allocator keeps), once it has opened the challenge and drawn it with its map, and once
// every block was selected, moved and the move undone; and the peaks of each. Each figure is
// also given as a multiple of the challenge's expanded body.
void BM_Window_Memory_1M(benchmark::State& state)
{
    const TLarge_File& file = Large_File();
    const auto documents = file.Game.Use();
    double opened = 0;
    double open_peak = 0;
    double edited = 0;
    double edit_peak = 0;
    for (auto _ : state) {
        TScripted_Gui_Services services;
        std::unique_ptr<TMainForm> form = Shown_Window(services);
        Reset_Peak();
        const double empty = Status_Field_Bytes("VmRSS");
        Open_In(*form, services, file.Path);
        opened = Status_Field_Bytes("VmRSS") - empty;
        open_peak = Status_Field_Bytes("VmHWM") - empty;
        Move_Every_Block_Up(*form, services);
        form->EditUndo_Action->trigger();
        Let_Window_Draw();
        edited = Status_Field_Bytes("VmRSS") - empty;
        edit_peak = Status_Field_Bytes("VmHWM") - empty;
        if (form->Block_Address_List().Block_Offsets.size() != Large_Block_Count ||
            form->Undo_Stack->count() != 1 || form->Undo_Stack->index() != 0 ||
            form->Map_View->isHidden()) {
            state.SkipWithError("the window did not open, move and undo with its map");
            break;
        }
    }
    state.counters["body_MiB"] = file.Body_Size / MiB;
    state.counters["open_MiB"] = opened / MiB;
    state.counters["open_over_body"] = opened / file.Body_Size;
    state.counters["open_peak_over_body"] = open_peak / file.Body_Size;
    state.counters["edited_MiB"] = edited / MiB;
    state.counters["edited_over_body"] = edited / file.Body_Size;
    state.counters["edit_peak_over_body"] = edit_peak / file.Body_Size;
}

QtMessageHandler Qt_Message_Handler = nullptr;

// The offscreen platform notes, at each window shown, what only a screen does ("This plugin
// does not support propagateSizeHints()"): dropped, so that the figures stay readable.
void Report_Qt_Message(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (QGuiApplication::platformName() == QLatin1String("offscreen") &&
        message.startsWith(QLatin1String("This plugin does not support "))) {
        return;
    }
    Qt_Message_Handler(type, context, message);
}

BENCHMARK(BM_Conversion)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Conversion_Parts)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Conversion_Peak_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Start_Up_1000_Profiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Profile_Search_1000_Profiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Window_Memory_1M)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Block_Walk_1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load_And_Walk_1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Listing_1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Block_Save_Referenced_1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rotate_Every_Block_1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Session_Rotate_Every_Block_1M)->Unit(benchmark::kMillisecond);
// The process's CPU time: the raster engine hands large fills to Qt's thread pool, whose work
// the drawing thread's own clock leaves out.
BENCHMARK(BM_Map_Draw_1M)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Map_Build_1M)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Map_Paint_1M)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Map_Draw_1M_Every_Column)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Map_Build_1M_Every_Column)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(BM_Map_Paint_1M_Every_Column)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace
} // namespace plotvane

int main(int argc, char** argv)
{
    // The allocator as the editor sets it, so that the memory figures are the editor's.
    plotvane::Give_Large_Blocks_Back_When_Freed();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    plotvane::Qt_Message_Handler = qInstallMessageHandler(plotvane::Report_Qt_Message);
    // The window's settings go to a folder of the run, never to the user's own.
    const QTemporaryDir settings_folder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_folder.path());
    QApplication application(argc, argv);
    const int result = plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Conversion", "BM_Conversion_Parts"},
         {"BM_Start_Up_1000_Profiles", "BM_Profile_Search_1000_Profiles"},
         {"BM_Listing_1M", "BM_Load_And_Walk_1M"},
         {"BM_Block_Save_Referenced_1M", "BM_Block_Walk_1M"},
         {"BM_Rotate_Every_Block_1M", "BM_Block_Walk_1M"},
         {"BM_Session_Rotate_Every_Block_1M", "BM_Block_Walk_1M"},
         {"BM_Map_Draw_1M", "BM_Block_Walk_1M"},
         {"BM_Map_Build_1M", "BM_Block_Walk_1M"},
         {"BM_Map_Paint_1M", "BM_Block_Walk_1M"},
         {"BM_Map_Draw_1M_Every_Column", "BM_Block_Walk_1M"},
         {"BM_Map_Build_1M_Every_Column", "BM_Block_Walk_1M"},
         {"BM_Map_Paint_1M_Every_Column", "BM_Block_Walk_1M"}});
    plotvane::Map_Setup_Storage.reset();
    plotvane::Spread_Map_Setup_Storage.reset();
    plotvane::Large_Setup_Storage.reset();
    return result;
}
