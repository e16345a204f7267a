#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace plotvane {

// Orders two texts with the letters A to Z folded to lower case; every other byte compares by
// its unsigned value. Logins are ASCII, so no locale takes part.
inline int Compare_Text_Ignoring_Case(const std::string& left, const std::string& right)
{
    const auto folded = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 'A' && byte <= 'Z' ? byte - 'A' + 'a' : int{byte};
    };
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int difference = folded(left[i]) - folded(right[i]);
        if (difference != 0) {
            return difference;
        }
    }
    return left.size() == right.size() ? 0 : (left.size() < right.size() ? -1 : 1);
}

// The online logins of the local player's profiles: sorted ascending without regard to letter
// case, each login once. Logins keep the letter case their profile file stores.
class TProfile_List {
public:
    TProfile_List() = default;

    // The logins in the order in which they were found, sorted once: of logins equal but for
    // letter case, the first found stays.
    explicit TProfile_List(std::vector<std::string> logins) : logins_(std::move(logins))
    {
        // A stable sort keeps equal logins in the order found, so the first of each is kept.
        std::stable_sort(logins_.begin(), logins_.end(), Less);
        logins_.erase(std::unique(logins_.begin(), logins_.end(),
                                  [](const std::string& left, const std::string& right) {
                                      return Compare_Text_Ignoring_Case(left, right) == 0;
                                  }),
                      logins_.end());
    }

    // Puts the login in its sorted place. A login equal to one already present, ignoring
    // letter case, is dropped: the first one found stays.
    void Add(const std::string& login)
    {
        const auto place = std::lower_bound(logins_.begin(), logins_.end(), login, Less);
        if (place == logins_.end() || Compare_Text_Ignoring_Case(*place, login) != 0) {
            logins_.insert(place, login);
        }
    }

    const std::vector<std::string>& Logins() const { return logins_; }
    std::size_t Count() const { return logins_.size(); }
    bool Empty() const { return logins_.empty(); }

private:
    static bool Less(const std::string& left, const std::string& right)
    {
        return Compare_Text_Ignoring_Case(left, right) < 0;
    }

    std::vector<std::string> logins_;
};

} // namespace plotvane
