// Generates realistic contact files for the benchmarks: nine columns (name,
// company, three phone numbers, e-mail, location, group, note), quoted
// fields, names of several words, UTF-8 text, a fixed seed.
#pragma once

#include <cstdio>
#include <random>
#include <string>

namespace qvxbench {

inline const char* const kFirst[] = {"Anna",  "Jörg",   "Zoë",       "Hans-Peter", "Mary Ann", "Søren",
                                     "Élise", "Mehmet", "Katarzyna", "Li",         "José",     "Ingrid"};
inline const char* const kLast[] = {"Müller", "O'Neill", "van der Berg", "Schmidt",  "Łukasiewicz", "Nguyen",
                                    "Dupont", "Weiß",    "García López", "Kowalski", "Smith",       "Öztürk"};
inline const char* const kCompanies[] = {
    "Müller & Söhne GmbH",    "Harbour Logistics Ltd.", "", "Praxis Dr. Weiß", "ACME; Inc.",
    "Bäckerei \"Zur Sonne\"", "Stadtwerke Köln"};
inline const char* const kCities[] = {"Stuttgart", "München", "London", "Lyon", "Kraków", "Zürich", "Wien"};
inline const char* const kGroups[] = {"Familie", "Arbeit", "Verein", "Kunden", ""};

inline std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

inline const char kHeader[] = "Name;Firma;Telefon privat;Telefon geschäftlich;Mobil;E-Mail;Ort;Gruppe;Notiz";
inline const char kMapping[] =
    "Quorvex mapping file\r\n"
    "\"Name\",\"Firma\",\"Telefon privat\",\"Telefon geschäftlich\",\"Mobil\",\"E-Mail\",\"Ort\",\"Gruppe\","
    "\"Notiz\"\r\n"
    "\"N\",\"C\",\"PD\",\"PD\",\"PD\",\"E\",\"L\",\"G\",\"-\"\r\n"
    "Name:Benchmark\r\nDescription:nine columns\r\n";

// Writes `rows` contacts (plus the header line) to `path`; false on failure.
inline bool WriteContacts(const std::string& path, long rows) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    std::mt19937 rng(4711);
    auto pick = [&rng](auto& list) { return list[rng() % (sizeof list / sizeof list[0])]; };
    auto phone = [&rng](const char* prefix) {
        return std::string(prefix) + std::to_string(100 + rng() % 900) + " " +
               std::to_string(100000 + rng() % 900000);
    };
    fprintf(f, "%s\r\n", kHeader);
    std::string line;
    for (long i = 0; i < rows; ++i) {
        std::string first = pick(kFirst), last = pick(kLast);
        line = Quote(first + " " + last) + ";" + Quote(pick(kCompanies)) + ";" + Quote(phone("+49 (0)")) +
               ";" + Quote(rng() % 3 ? phone("0711-") : "") + ";" + Quote(phone("0171 ")) + ";" +
               Quote("contact" + std::to_string(i) + "@example.org") + ";" + Quote(pick(kCities)) + ";" +
               Quote(pick(kGroups)) + ";" + Quote(rng() % 4 ? "" : "Rückruf erbeten; \"dringend\"") + "\r\n";
        if (fwrite(line.data(), 1, line.size(), f) != line.size()) {
            fclose(f);
            return false;
        }
    }
    return fclose(f) == 0;
}

}  // namespace qvxbench
