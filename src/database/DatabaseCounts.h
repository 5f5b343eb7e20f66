// How many contacts and ContactDetail rows a contact database holds, read
// from the file (the copy dialog names them before the copy).
#pragma once

#include <string>

struct DatabaseCounts {
    long long nContacts = 0;
    long long nDetails = 0;
};

// False when the file cannot be read as a contact database.
bool CountDatabase(const std::string& path, DatabaseCounts& counts);
