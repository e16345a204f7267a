// The edit session itself: what it is made from, the saved mark, and the walk it keeps of the
// image. Its edits and their history live in files of their own: Challenge_Edit_History.cpp
// (steps, undo and redo), Challenge_Batch_Edits.cpp (writes to blocks in place) and
// Challenge_Structure_Edits.cpp (records added and removed).

#include "challenge/Challenge_Edit_Session.h"

#include "challenge/Challenge_Edit_Steps.h"
#include "challenge/Gbx_Challenge_Read.h"

#include <utility>

namespace plotvane {

TChallenge_Edit_Session::TChallenge_Edit_Session(TFlexible_Byte_Array image,
                                                 const TMemory_Mask& mask)
    : image_(std::move(image)), mask_(mask), list_(Challenge_Read_Block_List(image_, mask_))
{
}

TChallenge_Edit_Session::~TChallenge_Edit_Session() = default;

bool TChallenge_Edit_Session::Is_Modified() const
{
    return saved_at_ != done_;
}

void TChallenge_Edit_Session::Mark_Saved()
{
    saved_at_ = done_;
}

void TChallenge_Edit_Session::Walk_Again()
{
    // The old walk goes first: a million blocks' offsets need not be held twice.
    list_ = TTMF_Challenge_Block_Address_List();
    list_ = Challenge_Read_Block_List(image_, mask_);
}

} // namespace plotvane
