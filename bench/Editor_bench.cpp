// The editor window's own work, each figure beside its reference measured in the same run:
// the one-argument conversion of a 64 MiB image beside its parts run alone (load, copy, save),
// start-up with 1,000 profiles beside the profile search alone, and on a 1,000,000-block
// challenge the listing, a block save, a batch command (every block turned, the list shown
// again with them selected) and the map (built and drawn whole after a change, built alone,
// drawn alone; also with the blocks spread over every column of the grid) beside the block
// walk alone. Peak memory figures are multiples of the image's size (Linux: VmHWM, reset
// through /proc/self/clear_refs). The conversion is timed by the clock (it is mostly file
// work); the rest in CPU time, which a busy machine disturbs less: the thread's own, but the
// whole process's for the map, which Qt draws with several threads.

#include "bench/Bench_Ratios.h"
#include "bench/Peak_Memory.h"
#include "challenge/Challenge_Edit_Session.h"
#include "challenge/Gbx_Challenge_Read.h"
#include "challenge/Gbx_Profile_Read.h"
#include "gbx/Gbx_IO.h"
#include "platform/File_System.h"
#include "platform/Scripted_Gui_Services.h"
#include "tests/support/Challenge_Builder.h"
#include "tests/support/Gbx_Test_Files.h"
#include "tests/support/Large_Challenge.h"
#include "tests/support/Profile_Builder.h"
#include "tests/ui/Game_Folder.h"
#include "ui/Main.h"
#include "ui/Map_View.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QTableView>
#include <QSettings>
#include <QTemporaryDir>
#include <QUndoStack>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace plotvane {
namespace {

constexpr std::size_t Conversion_Image_Size = 64u << 20;
constexpr std::uint32_t Large_Block_Count = 1000000;
constexpr int Profile_Count = 1000;

using bench::Reset_Peak;
using bench::Status_Field_Bytes;

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

    test::TTest_Game_Folder Game{{"fixture_player"}};
    std::string Path = Game.Challenge_Path("Large.Challenge.Gbx");
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
        state.counters["image_MiB"] = double(setup.Image_Size) / (1 << 20);
        state.counters["peak_over_image"] = peak / double(setup.Image_Size);
    }
}

struct TProfiles_Setup {
    TProfiles_Setup()
    {
        const std::string profiles = Game.Game_Folder() + "/Profiles/";
        for (int i = 0; i < Profile_Count; ++i) {
            test::Write_Profile_File(profiles + "Player" + std::to_string(i) + ".Profile.Gbx",
                                     test::TProfile_Description("player" + std::to_string(i)));
        }
    }
    test::TTest_Game_Folder Game{{}};
};

TProfiles_Setup& Profiles_Setup()
{
    static TProfiles_Setup setup;
    return setup;
}

// Start-up to the end of FormCreate, the window built but not shown.
void BM_Start_Up_1000_Profiles(benchmark::State& state)
{
    Profiles_Setup();
    TScripted_Gui_Services services;
    for (auto _ : state) {
        TMainForm form({}, services);
        benchmark::DoNotOptimize(form.Memory_Mask);
    }
    // One "byte" per profile, so that the ratio compares the two per profile.
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * Profile_Count);
}

void BM_Profile_Search_1000_Profiles(benchmark::State& state)
{
    Profiles_Setup();
    for (auto _ : state) {
        const TProfile_List profiles = Get_Online_Profiles(0x21);
        if (profiles.Count() != Profile_Count) {
            state.SkipWithError("profiles missing");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * Profile_Count);
}

// A window with the 1,000,000-block challenge open, its author listed.
struct TLarge_Setup {
    TLarge_Setup()
    {
        test::Write_Large_Challenge_File(Path, Large_Block_Count);
        // The list's figures are of the list alone: the map's are measured on a view of its
        // own, beside the same walk.
        Remember_Map_Wanted(false);
        Form = std::make_unique<TMainForm>(std::vector<std::string>{}, Services);
        Form->show();
        Services.File_Names.push_back(QString::fromStdString(Path));
        Reset_Peak();
        const double baseline = Status_Field_Bytes("VmRSS");
        Form->ChallengeOpen_Action->trigger();
        QCoreApplication::processEvents();
        Open_Peak = Status_Field_Bytes("VmHWM") - baseline;
    }
    test::TTest_Game_Folder Game{{"nadeo"}};
    std::string Path = Game.Challenge_Path("Million.Challenge.Gbx");
    TScripted_Gui_Services Services;
    std::unique_ptr<TMainForm> Form;
    double Open_Peak = 0;
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
    if (setup->Form->Block_Address_List().Block_Offsets.size() != Large_Block_Count) {
        state.SkipWithError("the challenge did not open with all its blocks");
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

// The walk, the list rebuilt and the view laid out and drawn.
void BM_Listing_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    TMainForm& form = *setup->Form;
    for (auto _ : state) {
        form.List_Block_BitBtnClick();
        QCoreApplication::processEvents();
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * form.Expanded_Image().size()));
}

// Saving one block with a referenced name: write, walk, relist, reselect.
void BM_Block_Save_Referenced_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    TMainForm& form = *setup->Form;
    const int row = static_cast<int>(Large_Block_Count / 2);
    form.List_Block_ListBox->setCurrentIndex(form.List_Block_ListBox->model()->index(row, 0));
    for (auto _ : state) {
        form.Block_Save_BitBtn->click();
        QCoreApplication::processEvents();
    }
    if (form.List_Block_ListBox->currentIndex().row() != row) {
        state.SkipWithError("the block was not selected again");
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * form.Expanded_Image().size()));
}

// A batch command through the window: every block turned a quarter turn by the session, then
// the list shown again with every block selected. Each step is undone outside the timing, so
// that the history stays one step long.
void BM_Rotate_Every_Block_1M(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    TMainForm& form = *setup->Form;
    form.List_Block_ListBox->selectAll();
    for (auto _ : state) {
        form.EditRotateClockwise_Action->trigger();
        QCoreApplication::processEvents();
        state.PauseTiming();
        form.Undo_Stack->undo();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    if (form.List_Block_ListBox->selectionModel()->selection().size() != 1 ||
        form.Undo_Stack->count() != 1) {
        state.SkipWithError("the blocks were not selected again, or the history grew");
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

void BM_Open_1M_Peak_Memory(benchmark::State& state)
{
    TLarge_Setup* setup = Large_Setup(state);
    if (setup == nullptr) {
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(setup->Open_Peak);
    }
    const double image_size = double(setup->Form->Expanded_Image().size());
    state.counters["image_MiB"] = image_size / (1 << 20);
    state.counters["peak_over_image"] = setup->Open_Peak / image_size;
}

BENCHMARK(BM_Conversion)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Conversion_Parts)->Iterations(6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Conversion_Peak_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Start_Up_1000_Profiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Profile_Search_1000_Profiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Open_1M_Peak_Memory)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Block_Walk_1M)->Unit(benchmark::kMillisecond);
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // The window's settings go to a folder of the run, never to the user's own.
    const QTemporaryDir settings_folder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_folder.path());
    QApplication application(argc, argv);
    const int result = plotvane::bench::Run_With_Ratios(
        argc, argv,
        {{"BM_Conversion", "BM_Conversion_Parts"},
         {"BM_Start_Up_1000_Profiles", "BM_Profile_Search_1000_Profiles"},
         {"BM_Listing_1M", "BM_Block_Walk_1M"},
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
