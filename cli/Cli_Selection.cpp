#include "cli/Cli_Selection.h"

namespace plotvane {

namespace {

std::uint8_t Grid_Byte(int value)
{
    return static_cast<std::uint8_t>(value); // 0 to 255: the option's range
}

} // namespace

bool TSelection_Options::Given() const
{
    return !Indexes.empty() || !Names.empty() || !Within.empty();
}

TBlock_Criteria TSelection_Options::Criteria() const
{
    TBlock_Criteria criteria;
    for (const std::string& text : Indexes) {
        criteria.Numbers.push_back(*Parse_Block_Number_Range(text)); // checked by the parser
    }
    criteria.Names = Names;
    for (std::size_t at = 0; at + 6 <= Within.size(); at += 6) {
        criteria.Boxes.push_back(Grid_Box_Between(
            {Grid_Byte(Within[at]), Grid_Byte(Within[at + 1]), Grid_Byte(Within[at + 2])},
            {Grid_Byte(Within[at + 3]), Grid_Byte(Within[at + 4]), Grid_Byte(Within[at + 5])}));
    }
    return criteria;
}

void Add_Selection_Options(CLI::App& command, TSelection_Options& options, bool with_name)
{
    const CLI::Validator block_numbers(
        [](std::string& text) -> std::string {
            return Parse_Block_Number_Range(text)
                       ? std::string()
                       : "a block number N or an inclusive range N-M (from 0, N at most M) "
                         "was expected, not " + text;
        },
        "N or N-M");
    options.Index_Option =
        command.add_option("--index", options.Indexes,
                           "Select block N, or blocks N to M (from 0, inclusive); repeat to add "
                           "more")
            ->check(block_numbers)
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    if (with_name) {
        options.Name_Option =
            command.add_option("--name", options.Names,
                               "Select the blocks with exactly this name; repeat to add more")
                ->expected(1)
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
    options.Within_Option =
        command
            .add_option_function<std::vector<int>>(
                "--within",
                [&options](const std::vector<int>& values) {
                    if (values.size() % 6 != 0) {
                        throw CLI::ValidationError(
                            "--within", "takes six values each time: X1 Z1 Y1 X2 Z2 Y2");
                    }
                    options.Within = values;
                },
                "Select the blocks whose X, Z (height) and Y lie in the box between two corners "
                "X1 Z1 Y1 and X2 Z2 Y2, both included; repeat to add more")
            ->type_size(6)
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->check(CLI::Range(0, 255));
}

} // namespace plotvane
