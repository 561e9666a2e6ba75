#include "output/output_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vendrik {
namespace {

namespace fs = std::filesystem;

struct Folder {
    Folder() : path(fs::temp_directory_path() / ("output-file-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directory(path);
    }
    ~Folder() { fs::remove_all(path); }
    std::string file(const std::string& name) const { return (path / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(path)) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    fs::path path;
};

std::string contentOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeContent(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

bool replaceOutputFile(OutputFile& file, std::string_view text) {
    return writeOutputFile(file, text) && closeOutputFile(file) && commitOutputFile(file);
}

unsigned modeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(stat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

TEST(OutputFile, ReplacesAnExistingFileWholeAndKeepsItsPermissions) {
    const Folder folder;
    const std::string out = folder.file("out.txt");
    writeContent(out, std::string(5000, 'x'));
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    {
        OutputFile file;
        ASSERT_TRUE(openOutputFile(file, out, Replacement::whole));
        EXPECT_NE(file.temporary, "");
        EXPECT_EQ(contentOf(out), std::string(5000, 'x')) << "changed before the replacement";
        ASSERT_TRUE(replaceOutputFile(file, "new\n"));
    }
    EXPECT_EQ(contentOf(out), "new\n");
    EXPECT_EQ(modeOf(out), 0640u);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.txt"});
}

TEST(OutputFile, LeavesThePreviousFileWhenNotReplaced) {
    const Folder folder;
    const std::string out = folder.file("out.txt");
    writeContent(out, "previous\n");
    for (const Replacement how : {Replacement::whole, Replacement::inPlace}) {
        {
            OutputFile file;
            ASSERT_TRUE(openOutputFile(file, out, how));
        }
        EXPECT_EQ(contentOf(out), "previous\n");
        EXPECT_EQ(folder.names(), std::vector<std::string>{"out.txt"});
    }
    {
        OutputFile created;
        ASSERT_TRUE(openOutputFile(created, folder.file("new.txt"), Replacement::whole));
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{"out.txt"});
}

TEST(OutputFile, CreatesANewFileWithTheUsualPermissions) {
    const Folder folder;
    const std::string out = folder.file("new.txt");
    const mode_t mask = umask(027);
    OutputFile file;
    const bool opened = openOutputFile(file, out, Replacement::whole);
    umask(mask);
    ASSERT_TRUE(opened);
    ASSERT_TRUE(replaceOutputFile(file, "a\nb\n"));
    EXPECT_EQ(contentOf(out), "a\nb\n");
    EXPECT_EQ(modeOf(out), 0640u);
}

TEST(OutputFile, ReplacesTheFileALinkLeadsTo) {
    const Folder folder;
    const std::string target = folder.file("target.txt");
    writeContent(target, "previous\n");
    fs::create_symlink(target, folder.file("link.txt"));
    OutputFile file;
    ASSERT_TRUE(openOutputFile(file, folder.file("link.txt"), Replacement::whole));
    ASSERT_TRUE(replaceOutputFile(file, "new\n"));
    EXPECT_TRUE(fs::is_symlink(folder.file("link.txt")));
    EXPECT_EQ(contentOf(target), "new\n");
}

TEST(OutputFile, WritesInPlaceWhereRenamingCannotServe) {
    const Folder folder;
    const std::string out = folder.file("out.txt");
    writeContent(out, "a longer previous content\n");
    fs::create_hard_link(out, folder.file("second name.txt"));
    struct Case {
        std::string path;
        Replacement how;
    };
    const Case cases[] = {{out, Replacement::whole}, // two names: both keep the file
                          {out, Replacement::inPlace},
                          {"/dev/null", Replacement::whole}};
    for (const Case& row : cases) {
        OutputFile file;
        ASSERT_TRUE(openOutputFile(file, row.path, row.how)) << row.path;
        EXPECT_EQ(file.temporary, "") << row.path;
        ASSERT_TRUE(replaceOutputFile(file, "new\n")) << row.path;
    }
    EXPECT_EQ(contentOf(out), "new\n");
    EXPECT_EQ(contentOf(folder.file("second name.txt")), "new\n");
}

TEST(OutputFile, RefusesWhatCannotBeOpened) {
    const Folder folder;
    for (const std::string& path : {std::string(), folder.file("missing/out.txt"),
                                    folder.path.string(), folder.path.string() + "/"}) {
        OutputFile file;
        EXPECT_FALSE(openOutputFile(file, path, Replacement::whole)) << path;
        EXPECT_FALSE(replaceOutputFile(file, "x")) << path;
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{});
}

TEST(OutputFile, ReportsAWriteThatFails) {
    OutputFile file;
    ASSERT_TRUE(openOutputFile(file, "/dev/full", Replacement::whole));
    EXPECT_FALSE(replaceOutputFile(file, "text\n"));
}

} // namespace
} // namespace vendrik
