// Clock and file operations on a temporary folder, and the safe-name rule.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "text/codec.h"
#include "text/files.h"

namespace fs = std::filesystem;

namespace {

Text G(std::string_view utf8) {
    return Utf8ToGbk(utf8);
}

class FilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("files_test_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    // A GBK path inside the test folder, built with '\' as the program does.
    Text Path(std::string_view utf8Name) const {
        return Utf8ToGbk(root_.string()) + "\\" + G(utf8Name);
    }
    std::string Read(const fs::path& p) const {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path root_;
};

TEST_F(FilesTest, FolderExistsByProbe) {
    EXPECT_FALSE(FolderExists(""));
    EXPECT_FALSE(FolderExists("   "));
    EXPECT_TRUE(FolderExists(Utf8ToGbk(root_.string())));
    EXPECT_FALSE(fs::exists(root_ / "TEMP.TMP"));
    EXPECT_FALSE(FolderExists(Path("missing")));
    EXPECT_FALSE(fs::exists(root_ / "missing"));
    std::ofstream(root_ / "file") << "x";
    EXPECT_FALSE(FolderExists(Path("file")));
    // A TEMP.TMP that someone left there survives the probe.
    std::ofstream(root_ / "TEMP.TMP") << "keep";
    EXPECT_TRUE(FolderExists(Utf8ToGbk(root_.string())));
    EXPECT_EQ(Read(root_ / "TEMP.TMP"), "keep");
}

TEST_F(FilesTest, GbkNamesReachTheDiskAsUtf8) {
    // 0x5C as a trail byte is no separator: convert before turning '\' into '/'.
    const Text name =
        "\x81\x5C"
        "1";  // one GBK character whose trail is 0x5C, then "1"
    ASSERT_TRUE(CreateFolder(Path("") + name));
    EXPECT_TRUE(fs::is_directory(root_ / GbkToUtf8(name)));
    EXPECT_FALSE(CreateFolder(Path("") + name));  // exists already
    EXPECT_FALSE(CreateFolder(Path("no\\parent")));
    const Text file = Path("") + name + "\\" + G("第一章.txt");
    EXPECT_TRUE(WriteWholeFile(file, ByteBuffer{'a', 0, 'b'}));
    EXPECT_EQ(Read(root_ / GbkToUtf8(name) / "第一章.txt"), std::string("a\0b", 3));
    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(WriteWholeFile(file, ByteBuffer{}));  // truncates
    EXPECT_EQ(fs::file_size(root_ / GbkToUtf8(name) / "第一章.txt"), 0u);
    EXPECT_FALSE(WriteWholeFile("", ByteBuffer{'a'}));
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(RemoveFile(file));
    EXPECT_FALSE(FileExists(file));
}

TEST_F(FilesTest, HandleOperations) {
    const FileHandle h = OpenNewFile(Path("h.bin"));
    ASSERT_NE(h, InvalidFile);
    EXPECT_TRUE(WriteToFile(h, ByteBuffer{2, 3}));
    EXPECT_TRUE(WriteToFile(h, ByteBuffer{4}));
    CloseFile(h);
    EXPECT_EQ(Read(root_ / "h.bin"), "\x02\x03\x04");
    EXPECT_FALSE(WriteToFile(InvalidFile, ByteBuffer{1}));
    CloseFile(InvalidFile);
    EXPECT_EQ(OpenNewFile(Path("no/such/folder/x")), InvalidFile);
}

TEST_F(FilesTest, WriteNewFileWholeNeverReplaces) {
    const Text file = Path("c.txt");
    EXPECT_TRUE(WriteNewFileWhole(file, ByteBuffer{'1'}));
    EXPECT_FALSE(WriteNewFileWhole(file, ByteBuffer{'2'}));
    EXPECT_EQ(Read(root_ / "c.txt"), "1");
    // No temporary file is left behind either way.
    EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1);
}

TEST_F(FilesTest, DeleteFolderTreeStaysInsideTheTree) {
    fs::create_directories(root_ / "book" / "sub");
    std::ofstream(root_ / "book" / ".txt") << "hidden";
    std::ofstream(root_ / "book" / "sub" / "a.txt") << "a";
    fs::create_directories(root_ / "outside");
    std::ofstream(root_ / "outside" / "keep.txt") << "keep";
    fs::create_directory_symlink(root_ / "outside", root_ / "book" / "link");
    fs::create_symlink(root_ / "outside" / "keep.txt", root_ / "book" / "filelink");

    EXPECT_TRUE(DeleteFolderTree(Path("book")));
    EXPECT_FALSE(fs::exists(root_ / "book"));
    EXPECT_TRUE(fs::exists(root_ / "outside" / "keep.txt"));

    // A symbolic link given as the tree itself is not followed.
    fs::create_directory_symlink(root_ / "outside", root_ / "alias");
    EXPECT_FALSE(DeleteFolderTree(Path("alias")));
    EXPECT_TRUE(fs::exists(root_ / "outside" / "keep.txt"));

    for (const char* refused : {"", "   ", "/", "\\", "C:", "C:\\", "  //"}) {
        EXPECT_FALSE(DeleteFolderTree(refused)) << refused;
    }
    EXPECT_FALSE(DeleteFolderTree(Path("missing")));
}

TEST(Clock, MillisecondsSince1970) {
    const Text a = NowMillisText();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const Text b = NowMillisText();
    EXPECT_EQ(a.size(), 13u);
    EXPECT_EQ(a.size(), b.size());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.find_first_not_of("0123456789"), Text::npos);
}

TEST(ProgramDirectoryTest, FolderOfTheProgramFile) {
    const Text dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(fs::is_directory(GbkToUtf8(dir)));
    EXPECT_TRUE(fs::exists(fs::path(GbkToUtf8(dir)) / "text_test"));
    EXPECT_TRUE(FileExists(dir + "\\text_test"));
}

TEST(SafeName, Table) {
    struct Case {
        Text in, expected;
    };
    const Case cases[] = {
        {G("第一章 开始"), G("第一章 开始")},
        {"a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
        {"tab\there\x7F", "tab_here_"},
        {"..", "_"},
        {".", "_"},
        {"   ", "_"},
        {"", "_"},
        {"name. . ", "name"},
        {".hidden", ".hidden"},
        {"../../etc", ".._.._etc"},
        {"\x81/", "__"},    // no character of GBK, then a separator
        {"ok\xB9", "ok_"},  // lone lead byte
        {G("《鬼吹灯》"), G("《鬼吹灯》")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SafeName(c.in), c.expected) << c.in;
    }
    // Cut at a character boundary so that the UTF-8 form fits in 255 bytes.
    Text longName;
    for (int i = 0; i < 200; ++i) {
        longName += G("章");
    }
    const Text cut = SafeName(longName);
    EXPECT_EQ(cut.size() % 2, 0u);
    EXPECT_LE(GbkToUtf8(cut).size(), 255u);
    EXPECT_EQ(GbkToUtf8(cut).size(), 255u);  // 85 characters of three bytes
    EXPECT_LE(GbkToUtf8(SafeName(longName, 20)).size(), 235u);
    EXPECT_EQ(SafeName(Text(300, 'a')).size(), 255u);
}

TEST(SafeName, AnyInputGivesOneHarmlessComponent) {
    std::mt19937 random(12345);
    const std::string alphabet = std::string(
                                     "./\\:*?\"<>| \t\x01\x7F"
                                     "aZ") +
                                 "\xA1\xB9\xED\x81\x5C";
    for (int round = 0; round < 5000; ++round) {
        Text in;
        const int length = static_cast<int>(random() % 300);
        for (int i = 0; i < length; ++i) {
            in.push_back(alphabet[random() % alphabet.size()]);
        }
        const Text out = SafeName(in);
        const std::string native = GbkToUtf8(out);
        ASSERT_FALSE(native.empty());
        ASSERT_LE(native.size(), 255u);
        ASSERT_EQ(native.find('/'), std::string::npos) << in;
        ASSERT_EQ(native.find('\\'), std::string::npos) << in;
        ASSERT_NE(native, ".");
        ASSERT_NE(native, "..");
        ASSERT_NE(native.back(), '.');
        ASSERT_NE(native.back(), ' ');
        for (unsigned char c : native) {
            ASSERT_GE(c, 0x20) << in;
        }
        // Joined to a folder, it names a file directly inside that folder.
        const fs::path joined = fs::path("/base") / native;
        ASSERT_EQ(joined.lexically_normal().parent_path(), fs::path("/base")) << in;
        // The name survives the trip through the disk's encoding unchanged.
        ASSERT_EQ(Utf8ToGbk(native), out);
    }
}

}  // namespace
