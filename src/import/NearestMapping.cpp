#include "import/NearestMapping.h"

#include <dirent.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "import/ContactsFile.h"
#include "import/DataMap.h"
#include "import/MappingCodes.h"
#include "import/MappingFileReader.h"
#include "support/AsciiCase.h"

namespace {

std::vector<std::string> ReadHeaders(CDataMap& table) {
    std::vector<std::string> headers;
    CDataRow* pHeader = table.GetHeaderRow();
    const int nColumns = table.GetColumnCount();
    for (int j = 0; j < nColumns; ++j) {
        const std::optional<std::string_view> text = pHeader ? pHeader->PeekField(j) : std::nullopt;
        headers.emplace_back(text ? *text : std::string_view());
    }
    return headers;
}

}  // namespace

bool IsNearCoverage(int nKnown, int nColumns) {
    return nColumns > 0 && nKnown * 5 >= nColumns * 4;
}

NearestMapping FindNearestMapping(CDataMap& table, const std::vector<std::string>& paths) {
    NearestMapping best;
    const std::vector<std::string> headers = ReadHeaders(table);
    if (headers.empty()) return best;
    const std::set<std::string> present(headers.begin(), headers.end());
    CContactsFile parser;
    int nBestMissing = 0;
    std::vector<std::string> names, codes;
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!parser.ReadMappingEntries(paths[i].c_str(), names, codes)) continue;
        bool bHasName = false;
        bool bNamesPresent = true;
        int nMissing = 0;
        for (size_t e = 0; e < names.size(); ++e) {
            const bool bPresent = present.count(names[e]) != 0;
            if (!bPresent) ++nMissing;
            if (codes[e] == qvxcode::kName) {
                bHasName = true;
                bNamesPresent = bNamesPresent && bPresent;
            }
        }
        if (!bHasName || !bNamesPresent) continue;
        // As the mapping is applied.
        std::vector<std::string> applied(headers.size());
        const std::vector<int> entryColumns = EntryColumns(headers, names);
        for (size_t e = 0; e < names.size(); ++e)
            if (entryColumns[e] >= 0) applied[static_cast<size_t>(entryColumns[e])] = codes[e];
        int nKnown = 0;
        for (const std::string& code : applied) nKnown += code.empty() ? 0 : 1;
        if (!IsNearCoverage(nKnown, static_cast<int>(headers.size()))) continue;
        if (best.nIndex >= 0 && (nKnown < best.nKnown || (nKnown == best.nKnown && nMissing >= nBestMissing)))
            continue;
        best = NearestMapping{};
        best.nIndex = static_cast<int>(i);
        best.path = paths[i];
        best.nKnown = nKnown;
        best.nColumns = static_cast<int>(headers.size());
        nBestMissing = nMissing;
        for (size_t j = 0; j < headers.size(); ++j)
            if (applied[j].empty()) best.unknownHeaders.push_back(headers[j]);
    }
    if (best.nIndex >= 0) {
        char szName[97] = {};
        char szDescription[257] = {};
        if (parser.ReadMappingInfo(best.path.c_str(), szName, sizeof szName, szDescription,
                                   sizeof szDescription))
            best.name = szName;
    }
    return best;
}

namespace {

// The codes of `startPath` (none when empty) completed by guesses; empty
// when the file cannot be applied.
std::vector<StartColumn> CompleteFrom(CDataMap& table, const std::string& startPath) {
    const int nColumns = table.GetColumnCount();
    if (!startPath.empty()) {
        CContactsFile parser;
        if (parser.SetTable(&table) != 0 || parser.SetMappingFileName(startPath.c_str()) != 0 ||
            parser.ParseAdditionalInformation() != 0)
            return {};
    } else {
        table.DeleteMappingRow();
    }
    CDataRow* pMapping = table.GetMappingRow();
    if (pMapping == nullptr) return {};
    std::vector<std::string> codes(static_cast<size_t>(nColumns));
    for (int j = 0; j < nColumns; ++j) {
        const std::optional<std::string_view> code = pMapping->PeekField(j);
        if (code) codes[static_cast<size_t>(j)] = std::string(*code);
    }
    std::vector<StartColumn> columns = CompleteCodes(ReadHeaders(table), codes);
    for (int j = 0; j < nColumns; ++j) pMapping->SetField(j, codes[static_cast<size_t>(j)].c_str());
    return columns;
}

// The name order of the start: the start file's, its name columns first
// with their parts, then the guessed ones; without one from the file, the
// order of the parts.
void OrderNames(CDataMap& table, std::vector<StartColumn>& columns) {
    CDataRow* pMapping = table.GetMappingRow();
    if (pMapping == nullptr) return;
    const int nColumns = static_cast<int>(columns.size());
    auto isName = [&](int j) {
        const std::optional<std::string_view> code = pMapping->PeekField(j);
        return code && *code == qvxcode::kName;
    };
    NameOrder order;
    for (const NameOrderItem& item : table.GetNameOrder()) {
        if (item.nColumn < 0 || item.nColumn >= nColumns || !isName(item.nColumn)) continue;
        if (item.part != NameKind::kNone) columns[static_cast<size_t>(item.nColumn)].name = item.part;
        order.push_back({item.nColumn, columns[static_cast<size_t>(item.nColumn)].name});
    }
    const bool bFromFile = !order.empty();
    std::vector<NameOrderItem> rest;
    for (int j = 0; j < nColumns; ++j) {
        const bool bListed = std::any_of(order.begin(), order.end(),
                                         [j](const NameOrderItem& item) { return item.nColumn == j; });
        if (isName(j) && !bListed) rest.push_back({j, columns[static_cast<size_t>(j)].name});
    }
    if (bFromFile)
        order.insert(order.end(), rest.begin(), rest.end());
    else
        order = OrderByParts(rest);
    table.SetNameOrder(std::move(order));
}

}  // namespace

NewMappingStart StartNewMapping(CDataMap& table, const std::string& startPath, const std::string& name) {
    NewMappingStart start;
    if (table.GetColumnCount() > 0) {
        start.columns = CompleteFrom(table, startPath);
        start.bFromFile = !startPath.empty() && !start.columns.empty();
        if (start.columns.empty()) start.columns = CompleteFrom(table, std::string());
        OrderNames(table, start.columns);
    }
    table.SetName(name.c_str());
    table.SetDescription("");
    return start;
}

std::string ProposeMappingFileName(const std::string& name, const std::vector<std::string>& folders) {
    std::string stem;
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        const bool bKeep =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c >= 0x80;
        if (bKeep)
            stem.push_back(ch);
        else if (!stem.empty() && stem.back() != '-')
            stem.push_back('-');
    }
    while (!stem.empty() && stem.back() == '-') stem.pop_back();
    // Room for the folder, a number and ".map" within the 260 bytes of a path.
    if (stem.size() > 80) {
        // Cut before a character, never inside one.
        size_t nCut = 80;
        while (nCut > 0 && (static_cast<unsigned char>(stem[nCut]) & 0xC0) == 0x80) --nCut;
        stem.resize(nCut);
        while (!stem.empty() && stem.back() == '-') stem.pop_back();
    }
    if (stem.empty()) stem = "mapping";
    using qvxsupport::LowerAsciiText;
    std::set<std::string> taken;
    for (const std::string& folder : folders) {
        DIR* pDir = folder.empty() ? nullptr : opendir(folder.c_str());
        if (pDir == nullptr) continue;
        while (const dirent* pEntry = readdir(pDir)) taken.insert(LowerAsciiText(pEntry->d_name));
        closedir(pDir);
    }
    std::string file = stem + ".map";
    for (int n = 2; taken.count(LowerAsciiText(file)) != 0; ++n)
        file = stem + "-" + std::to_string(n) + ".map";
    return file;
}
