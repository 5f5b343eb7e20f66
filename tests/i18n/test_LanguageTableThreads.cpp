// Lookups on worker threads while the user-interface thread switches the
// language must see one language or the other, never a torn state.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "TestUtil.h"
#include "i18n/LanguageTable.h"

namespace {

TEST(LanguageTableThreads, LookupsDuringSwitchesSeeWholeTexts) {
    qvxtest::TempDir dir;
    std::string path = dir.File("language.ini");
    qvxtest::WriteFile(
        path, "[currentLanguage]\nlanguage=Deutsch\n[Deutsch]\nTitle=Titel\n[English]\nTitle=Title\n");
    ASSERT_TRUE(SetLanguageFile(path.c_str()));
    ASSERT_TRUE(SetLanguage(""));

    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            char buf[129];
            while (!stop.load()) {
                GetText("Title", buf, sizeof buf);
                std::string t = buf;
                if (t != "Titel" && t != "Title") bad.fetch_add(1);
                char** list = nullptr;
                int n = GetLanguages(&list);
                if (n != 2) bad.fetch_add(1);
                FreeLanguages(list, n);
            }
        });
    }
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(SetLanguage(i % 2 ? "Deutsch" : "English"));
    }
    stop = true;
    for (auto& t : readers) t.join();
    EXPECT_EQ(bad.load(), 0);
    char stored[261];
    ASSERT_TRUE(GetCurrentLanguage(stored, sizeof stored));
    EXPECT_STREQ(stored, "Deutsch");
}

}  // namespace
