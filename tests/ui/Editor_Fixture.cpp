#include "tests/ui/Editor_Fixture.h"

#include "challenge/Gbx_Challenge_Read.h"
#include "ui/Block_List_Model.h"

#include <QTableView>

#include <gtest/gtest.h>

namespace plotvane::test {

TEditor_Fixture::TEditor_Fixture(const std::vector<std::string>& logins)
    : game_(logins), lists_folder_(lists_.Path() + "/"),
      form_(std::make_unique<TMainForm>(std::vector<std::string>{}, services_))
{
    form_->Block_Name_List_Folders = {lists_folder_};
    Write_Plain_File(lists_folder_ + "Blocks-Stadium.Lst",
                     {'S', 't', 'a', 'd', 'i', 'u', 'm', 'R', 'o', 'a', 'd', 'M', 'a', 'i', 'n',
                      '\r', '\n', 'S', 't', 'a', 'd', 'i', 'u', 'm', 'P', 'i', 'l', 'l', 'a', 'r',
                      '\n'});
}

std::string TEditor_Fixture::Write_Challenge(const std::string& name,
                                             const TChallenge_Description& description)
{
    const std::string path = game_.Challenge_Path(name);
    EXPECT_EQ(Write_Challenge_File(path, description), 0u);
    return path;
}

void TEditor_Fixture::Open(const std::string& path)
{
    services_.File_Names.push_back(QString::fromStdString(path));
    form_->ChallengeOpen_Action->trigger();
}

void TEditor_Fixture::Select(int row)
{
    form_->List_Block_ListBox->setCurrentIndex(form_->Block_List_Model->index(row));
}

QString TEditor_Fixture::Line(int row) const
{
    return form_->Block_List_Model->index(row).data().toString();
}

int TEditor_Fixture::Line_Count() const
{
    return form_->Block_List_Model->rowCount();
}

std::vector<QString> TEditor_Fixture::Take_Box_Texts()
{
    std::vector<QString> texts;
    for (const auto& box : services_.Boxes) {
        texts.push_back(box.Text);
    }
    services_.Boxes.clear();
    return texts;
}

std::vector<TFile_Block> Saved_Blocks(const std::string& path, const TFlexible_Byte_Array& image,
                                      TMemory_Mask mask)
{
    const TBytes file = Read_Plain_File(path);
    const TBytes plain_image = Unmasked(image, mask);
    const std::size_t body_offset = 33 + Little_Endian_At(plain_image, 13);
    const std::uint32_t body_size = Little_Endian_At(plain_image, body_offset - 8);
    EXPECT_GT(file.size(), body_offset);
    if (file.size() <= body_offset ||
        !std::equal(plain_image.begin(), plain_image.begin() + static_cast<long>(body_offset - 4),
                    file.begin())) {
        ADD_FAILURE() << "the header of " << path << " is not the image's";
        return {};
    }
    const TBytes body =
        Lzo_Decompress(TBytes(file.begin() + static_cast<long>(body_offset), file.end()),
                       body_size);
    if (!std::equal(body.begin(), body.end(), plain_image.begin() + static_cast<long>(body_offset)) ||
        body.size() != body_size) {
        ADD_FAILURE() << "liblzo2 does not expand " << path << " to the image's body";
        return {};
    }
    // The file read back as the expanded image it holds.
    TBytes expanded(file.begin(), file.begin() + static_cast<long>(body_offset));
    expanded.insert(expanded.end(), body.begin(), body.end());
    expanded.insert(expanded.end(), plain_image.end() - 3, plain_image.end());
    return Image_Blocks(Masked(expanded, mask), mask);
}

} // namespace plotvane::test
