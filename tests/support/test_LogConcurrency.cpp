#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "LogSandbox.h"
#include "support/Log.h"

using qvxtest::LogSandbox;
using qvxtest::MakeLogConfig;

namespace {

const int nLevel = 3;
const LOG_MODULE kConc{"Conc", nLevel, &nLevel};

constexpr int kThreads = 8;
constexpr int kRecords = 1500;
constexpr int kHalfLimit = 128 * 1024;
const char kPayload[] = "-payload-of-a-record";

bool Digits(const std::string& s, size_t pos, size_t n) {
    if (pos + n > s.size()) return false;
    for (size_t i = 0; i < n; ++i) {
        if (!isdigit(static_cast<unsigned char>(s[pos + i]))) return false;
    }
    return true;
}

// Length of a whole record header at pos, or 0.
size_t HeaderAt(const std::string& s, size_t pos) {
    size_t p = pos;
    while (p < s.size() && isxdigit(static_cast<unsigned char>(s[p])) &&
           !islower(static_cast<unsigned char>(s[p])))
        ++p;
    if (p - pos < 4) return 0;
    const std::string tail = " [Conc]     ";
    if (s.compare(p, 2, " [") != 0 || !Digits(s, p + 2, 4) || s[p + 6] != ' ' || !Digits(s, p + 7, 6) ||
        s[p + 13] != ' ' || !Digits(s, p + 14, 4) || s[p + 18] != ']' ||
        s.compare(p + 19, tail.size(), tail) != 0) {
        return 0;
    }
    return p + 19 + tail.size() - pos;
}

// Length of a whole text piece at pos ("T<2 digits>-<5 digits>" and the
// payload), or 0; its thread and record number go to *pId.
size_t TextAt(const std::string& s, size_t pos, int* pId) {
    if (s.compare(pos, 1, "T") != 0 || !Digits(s, pos + 1, 2) || s.compare(pos + 3, 1, "-") != 0 ||
        !Digits(s, pos + 4, 5) || s.compare(pos + 9, strlen(kPayload), kPayload) != 0) {
        return 0;
    }
    *pId = std::stoi(s.substr(pos + 1, 2)) * 100000 + std::stoi(s.substr(pos + 4, 5));
    return 9 + strlen(kPayload);
}

}  // namespace

// Records of several threads may interleave piece by piece, even across a
// file switch, but no piece is ever torn or lost.
TEST(LogConcurrency, ConcurrentWritersNeverTearAPiece) {
    LogSandbox log(MakeLogConfig("QVXWizard.l_0", 2 * kHalfLimit, 10));
    ASSERT_GE(log.StartResult(), 0);

    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kRecords; ++i) LOG_INFO(kConc, "T%02d-%05d%s", t, i, kPayload);
        });
    }
    for (std::thread& w : writers) w.join();

    std::vector<int> seen(kThreads * 100000, 0);
    int headers = 0;
    int texts = 0;
    int ends = 0;
    int files = 0;
    for (int f = 0; f < 10 && log.Exists("QVXWizard.l_" + std::to_string(f)); ++f) {
        SCOPED_TRACE(f);
        ++files;
        std::string content = log.Read("QVXWizard.l_" + std::to_string(f));
        EXPECT_LE(content.size(), static_cast<size_t>(kHalfLimit));
        std::string first =
            f == 0 ? "START LOGGING...\n" : "VORIGE DATEI: QVXWizard.l_" + std::to_string(f - 1) + "\n";
        ASSERT_EQ(content.compare(0, first.size(), first), 0);
        size_t pos = first.size();
        while (pos < content.size()) {
            int id = 0;
            if (size_t n = HeaderAt(content, pos)) {
                ++headers;
                pos += n;
            } else if (size_t m = TextAt(content, pos, &id)) {
                ++texts;
                ++seen[id];
                pos += m;
            } else if (content[pos] == '\n') {
                ++ends;
                ++pos;
            } else {
                FAIL() << "torn piece at " << pos << ": " << content.substr(pos, 60);
            }
        }
    }
    EXPECT_GT(files, 3) << "the run should have switched files several times";
    EXPECT_EQ(headers, kThreads * kRecords);
    EXPECT_EQ(texts, kThreads * kRecords);
    EXPECT_EQ(ends, kThreads * kRecords);
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kRecords; ++i) ASSERT_EQ(seen[t * 100000 + i], 1) << t << " " << i;
    }
}
