#include "import/NameOrder.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace {

struct PartWord {
    NameKind part;
    const char* pszText;
};

constexpr PartWord kPartWords[] = {
    {NameKind::kGiven, "given"},   {NameKind::kMiddle, "middle"}, {NameKind::kFamily, "family"},
    {NameKind::kPrefix, "prefix"}, {NameKind::kSuffix, "suffix"}, {NameKind::kWhole, "whole"},
};

// Where a part stands in a written name; parts without a place come last.
int Rank(NameKind part) {
    switch (part) {
        case NameKind::kPrefix:
            return 0;
        case NameKind::kGiven:
            return 1;
        case NameKind::kMiddle:
            return 2;
        case NameKind::kFamily:
            return 3;
        case NameKind::kSuffix:
            return 4;
        case NameKind::kWhole:
        case NameKind::kNone:
            break;
    }
    return 5;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

}  // namespace

const char* NamePartText(NameKind part) {
    for (const PartWord& word : kPartWords)
        if (word.part == part) return word.pszText;
    return nullptr;
}

NameKind NamePartFromText(std::string_view text) {
    for (const PartWord& word : kPartWords)
        if (text == word.pszText) return word.part;
    return NameKind::kNone;
}

std::string NameOrderText(const NameOrder& order) {
    std::string text;
    for (const NameOrderItem& item : order) {
        if (!text.empty()) text.push_back(',');
        text += std::to_string(item.nColumn + 1);
        if (const char* pszPart = NamePartText(item.part)) {
            text.push_back('=');
            text += pszPart;
        }
    }
    return text;
}

NameOrder ParseNameOrderText(std::string_view text) {
    NameOrder order;
    std::set<int> seen;
    while (!text.empty()) {
        const size_t nComma = std::min(text.find(','), text.size());
        std::string_view item = Trimmed(text.substr(0, nComma));
        text.remove_prefix(std::min(nComma + 1, text.size()));
        const size_t nEquals = item.find('=');
        const std::string_view number = Trimmed(item.substr(0, nEquals));
        int nEntry = 0;
        const auto [pEnd, error] = std::from_chars(number.data(), number.data() + number.size(), nEntry);
        if (error != std::errc() || pEnd != number.data() + number.size() || nEntry < 1) continue;
        if (!seen.insert(nEntry).second) continue;
        NameOrderItem entry{nEntry - 1, NameKind::kNone};
        if (nEquals != std::string_view::npos)
            entry.part = NamePartFromText(Trimmed(item.substr(nEquals + 1)));
        order.push_back(entry);
    }
    return order;
}

NameOrder OrderByParts(const std::vector<NameOrderItem>& parts) {
    const bool bOrdered = std::any_of(parts.begin(), parts.end(),
                                      [](const NameOrderItem& item) { return Rank(item.part) < 5; });
    if (!bOrdered) return {};
    NameOrder order = parts;
    std::stable_sort(order.begin(), order.end(), [](const NameOrderItem& a, const NameOrderItem& b) {
        return Rank(a.part) < Rank(b.part);
    });
    return order;
}

NameOrder JoinedNameOrder(const NameOrder& stored, const std::vector<int>& nameColumns) {
    NameOrder order;
    auto listed = [&order](int j) {
        return std::any_of(order.begin(), order.end(),
                           [j](const NameOrderItem& item) { return item.nColumn == j; });
    };
    auto isName = [&nameColumns](int j) {
        return std::find(nameColumns.begin(), nameColumns.end(), j) != nameColumns.end();
    };
    for (const NameOrderItem& item : stored)
        if (isName(item.nColumn) && !listed(item.nColumn)) order.push_back(item);
    for (int j : nameColumns)
        if (!listed(j)) order.push_back({j, NameKind::kNone});
    return order;
}
