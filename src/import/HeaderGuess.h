// Property codes guessed from the words of column headers, for a new mapping
// of a file that no ready mapping fits. The words are those that the common
// address-book exports write, in English and German (Google, Outlook,
// outlook.com, Thunderbird, vCard converters); a header without any of them
// gets no guess and is left out of the import ("X") by the caller.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What a name column holds: the name's parts are joined, so a whole-name
// column beside a given and a family name would repeat the name.
enum class NameKind { kNone, kGiven, kMiddle, kFamily, kWhole };

struct HeaderGuess {
    const char* pszCode = nullptr;  // null when no word fits
    NameKind name = NameKind::kNone;
};

// The guess for one header, from its words alone.
HeaderGuess GuessHeader(std::string_view header);

// Where a column's code comes from in a new mapping.
enum class CodeOrigin : unsigned char {
    kKnown,    // the starting mapping knew the column
    kGuessed,  // guessed from the header's words
    kUnknown,  // no word fits: not imported ("X")
};

// Gives every empty entry of `codes` (one per header) a guessed code, or "X",
// and says per column where its code comes from. The guesses are settled
// against the codes already there: one company column at most (further
// ones become "-"), and a whole-name column stays out ("X") when the name
// already has given and family parts or known name columns.
std::vector<CodeOrigin> CompleteCodes(const std::vector<std::string>& headers,
                                      std::vector<std::string>& codes);
