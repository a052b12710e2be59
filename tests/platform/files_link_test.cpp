// Saves through symbolic links: a state file kept elsewhere through a link stays a link, and
// its target takes the new content.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/Files.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(FilesLinkTest, ASaveThroughALinkReplacesItsTargetAndKeepsTheLink) {
    struct Case {
        const char* name;
        const char* link;    // what KORU.tsr points to
        const char* target;  // the file expected to take the bytes; nullptr: nothing is written
        bool saved;
    };
    const Case cases[] = {
        {.name = "beside", .link = "real.tsr", .target = "real.tsr", .saved = true},
        {.name = "other folder", .link = "keep/real.tsr", .target = "keep/real.tsr", .saved = true},
        {.name = "chain", .link = "hop.tsr", .target = "keep/real.tsr", .saved = true},
        {.name = "dangling", .link = "keep/gone.tsr", .target = nullptr, .saved = false},
        {.name = "to a folder", .link = "keep", .target = nullptr, .saved = false},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        dir.Write("real.tsr", "old\r\n");
        dir.Write("keep/real.tsr", "old\r\n");
        fs::create_symlink("keep/real.tsr", dir.path() + "hop.tsr");
        fs::create_symlink(c.link, dir.path() + "KORU.tsr");
        EXPECT_EQ(WriteFileAtomically(dir.path() + "KORU.tsr", "new\r\n"), c.saved) << c.name;
        EXPECT_TRUE(fs::is_symlink(dir.path() + "KORU.tsr")) << c.name;
        EXPECT_EQ(fs::read_symlink(dir.path() + "KORU.tsr"), c.link) << c.name;
        if (c.target != nullptr) EXPECT_EQ(dir.Read(c.target), "new\r\n") << c.name;
        EXPECT_EQ(dir.Read("keep/gone.tsr"), "<missing>") << c.name;
        for (const char* folder : {"", "keep/"})
            for (const auto& entry : fs::directory_iterator(dir.path() + folder))
                EXPECT_NE(entry.path().filename().string().rfind(".velkaf-", 0), 0u) << c.name << ": " << entry.path();
    }
}

}  // namespace
