// The Japanese catalog as the Windows reader sees it: both byte orders of a
// .mo file, files that are no catalog, and the catalog's wording of the
// dialogs against the desktop program's own.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "DialogTexts.h"
#include "MoCatalog.h"
#include "ResourceIds.h"
#include "Texts.h"

namespace {

std::string Bytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(MoCatalog, ReadsBothByteOrdersAndRefusesWhatIsNoCatalog) {
    const std::string little = Bytes(TARNIK_MO);
    const std::string big = Bytes(TARNIK_MO_BIG);
    ASSERT_GT(little.size(), 100u);
    ASSERT_NE(little, big);
    const struct {
        const char* what;
        std::string bytes;
        bool parses;
    } cases[] = {
        {"little-endian", little, true},
        {"big-endian", big, true},
        {"empty", "", false},
        {"not a catalog", std::string(little.size(), 'x'), false},
        // The tables point past the end of what is left.
        {"cut short", little.substr(0, little.size() / 2), false},
    };
    MoCatalog reference;
    ASSERT_TRUE(reference.Parse(little));
    for (const auto& c : cases) {
        MoCatalog catalog;
        EXPECT_EQ(catalog.Parse(c.bytes), c.parses) << c.what;
        if (!c.parses) {
            EXPECT_EQ(catalog.Size(), 0u) << c.what;
            continue;
        }
        EXPECT_EQ(catalog.Size(), reference.Size()) << c.what;
        const char* text = catalog.Find("Cannot open the serial port.");
        ASSERT_NE(text, nullptr) << c.what;
        EXPECT_STREQ(text, "シリアルポートを開けません。") << c.what;
        EXPECT_EQ(catalog.Find("no such message"), nullptr) << c.what;
        EXPECT_EQ(catalog.Find(""), nullptr) << c.what;  // the header is no message
    }
}

// Where the terminal shows a dialog's title, headline, note or button, the
// Japanese is the desktop program's wording, letter for letter.
TEST(MoCatalog, JapaneseDialogTextsAreTheDesktopProgramsOwn) {
    MoCatalog catalog;
    ASSERT_TRUE(catalog.Load(TARNIK_MO));
    const auto japanese = [&](const char* msgid) {
        const char* text = catalog.Find(msgid);
        return std::string(text ? text : "(untranslated) ") + (text ? "" : msgid);
    };
    for (const int id : KvDialogIds()) {
        const CliDialogText* cli = CliDialog(id);
        if (!cli) continue;
        const KvDialogText* desktop = KvDialog(id);
        if (*cli->title) {
            EXPECT_EQ(japanese(cli->title), desktop->title) << id;
        }
        for (std::size_t i = 0; i < cli->lines.size() && i < desktop->headline.size(); ++i) {
            EXPECT_EQ(japanese(cli->lines[i]), desktop->headline[i]) << id;
        }
        if (cli->question) {
            EXPECT_EQ(japanese(cli->question), desktop->buttons.front().text) << id;
        }
    }
    EXPECT_EQ(japanese(CliDialog(IDD_SET_ERROR)->notes.front()), KvDialog(IDD_SET_ERROR)->trailingLines.front());
    for (const int id : KvTextIds()) {
        if (const char* message = CliMessage(id)) {
            EXPECT_EQ(japanese(message), KvText(id)) << id;
        }
    }
}
