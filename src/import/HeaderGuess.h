// Property codes guessed from the words of column headers, for a new mapping
// of a file that no ready mapping fits. The words are those that the common
// address-book exports write, in English and German (Google, Outlook,
// outlook.com, Thunderbird, vCard converters), also joined into German
// compounds ("Mailadresse", "Handynummer"); a header without any of them
// gets no guess and is left out of the import ("X") by the caller.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "import/NameOrder.h"

// Name parts (import/NameOrder.h) are joined into one name, so a whole-name
// column beside a given and a family name would repeat the name. Prefix and
// suffix columns ("Dr.", "Jr.") are guessed as details; their part is
// carried for a user who makes them part of the name.

struct HeaderGuess {
    const char* pszCode = nullptr;  // null when no word fits
    NameKind name = NameKind::kNone;
    // The header says it in so many words ("E-Mail-Adresse", "First Name");
    // false when a word was found inside another ("Handynummer") or the
    // word has more than one meaning ("Name": whole or family name).
    bool bSure = false;
};

// The guess for one header, from its words alone.
HeaderGuess GuessHeader(std::string_view header);

// Where a column's code comes from in a new mapping.
enum class CodeOrigin : unsigned char {
    kKnown,    // the starting mapping knew the column
    kSure,     // guessed from words that leave no doubt
    kGuessed,  // guessed: the user should look at it
    kUnknown,  // no word fits: not imported ("X")
};

struct StartColumn {
    CodeOrigin origin = CodeOrigin::kKnown;
    // For a name column ("N") and a name's prefix or suffix: which part.
    NameKind name = NameKind::kNone;
};

// Gives every empty entry of `codes` (one per header) a guessed code, or "X",
// and says per column where its code comes from. The guesses are settled
// against each other and the codes already there: one company column at
// most (further ones become "-"); a whole-name column ("Full Name") is the
// name and the part columns stay out ("X"); where the name is known
// already, guessed whole names stay out; a lone "Name" beside a given name
// but no family name is the family name ("Name", "Vorname").
std::vector<StartColumn> CompleteCodes(const std::vector<std::string>& headers,
                                       std::vector<std::string>& codes);
