// Gbx_Load_File and Gbx_Save_File on any file, through files of this process.
//
// Loading must give what Gbx_Uncompress gives for the same bytes: the same status and image.
// A loaded image saves with status 0 to a file that holds the plain packed bytes and loads
// back as the same image. The input taken as an image, as the block editor may leave one,
// saves with the status of Gbx_Compress: on success to the file itself, otherwise to the
// failure file only, leaving the file as it was.

#include "fuzz/Fuzz_Support.h"
#include "gbx/Gbx_IO.h"
#include "gbx/Gbx_Memory_Tools.h"

namespace {

using namespace plotvane;
using namespace plotvane::fuzz;

const TScratch_Folder& Folder()
{
    static const TScratch_Folder folder("gbx-load-file-fuzzer");
    return folder;
}

void Check_Save(const TFlexible_Byte_Array& image, TMemory_Mask mask)
{
    const std::string path = Folder().Path_Of("Saved.Challenge.Gbx");
    const std::string failure_path = Gbx_Failure_File_Name(path);
    static const std::uint8_t previous[] = {'o', 'l', 'd'};
    Folder().Write("Saved.Challenge.Gbx", previous, sizeof previous);
    std::filesystem::remove(failure_path);

    TFlexible_Byte_Array packed;
    const std::uint32_t packed_status = Gbx_Compress(image, packed, 0, mask);
    PLOTVANE_FUZZ_CHECK(Gbx_Save_File(path, image, 0, mask) == packed_status);

    TPlain_Bytes written;
    TPlain_Bytes failure_written;
    PLOTVANE_FUZZ_CHECK(TScratch_Folder::Read(path, written));
    const bool has_failure_file = TScratch_Folder::Read(failure_path, failure_written);
    if (packed_status == Status_Ok) {
        PLOTVANE_FUZZ_CHECK(!has_failure_file);
        PLOTVANE_FUZZ_CHECK(written == Unmasked(packed, mask));
    } else {
        PLOTVANE_FUZZ_CHECK(has_failure_file);
        PLOTVANE_FUZZ_CHECK(failure_written == Unmasked(packed, mask));
        PLOTVANE_FUZZ_CHECK(written == TPlain_Bytes(previous, previous + sizeof previous));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TMemory_Mask mask = Mask_For(size);
    const std::string path = Folder().Write("Input.Challenge.Gbx", data, size);
    const TFlexible_Byte_Array file = Masked(data, size, mask);

    TFlexible_Byte_Array image;
    const std::uint32_t status = Gbx_Load_File(path, image, mask);
    TFlexible_Byte_Array expected_image;
    PLOTVANE_FUZZ_CHECK(status == Gbx_Uncompress(file, expected_image, mask));
    PLOTVANE_FUZZ_CHECK(image == expected_image);

    if (status == Status_Ok) {
        Check_Save(image, mask);
        TFlexible_Byte_Array reloaded;
        PLOTVANE_FUZZ_CHECK(Gbx_Load_File(Folder().Path_Of("Saved.Challenge.Gbx"), reloaded,
                                          mask) == Status_Ok);
        PLOTVANE_FUZZ_CHECK(reloaded == image);
    } else {
        Check_Save(file, mask);
    }
    return 0;
}
