// The Linux launcher and share mounts against stand-ins for the programs
// they run: an opener and a `gio` that record what they were given.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TempDir.h"
#include "platform/linux/DesktopLauncher.h"
#include "platform/linux/GvfsShares.h"

namespace ks::test {
namespace {

std::string script(const TempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.file(name);
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0755);
    return path;
}

// The text of a file a detached program writes, once it is there.
std::string awaitFile(const std::string& path) {
    for (int tries = 0; tries < 100 && !std::filesystem::exists(path); ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LinuxServicesTest, DocumentsAndAddressesGoToTheOpener) {
    TempDir dir;
    std::ofstream(dir.file("notes.txt")) << "x";
    const std::string record = dir.file("opened");
    DesktopLauncher launcher(script(dir, "opener", "echo \"$PWD|$*\" > " + record + "\n"));
    for (const std::string file : {"notes.txt", "https://example.org/a?b=c"}) {
        std::filesystem::remove(record);
        ASSERT_TRUE(launcher.open(file, {"ignored"}, dir.path().string())) << file;
        const std::string target = file == "notes.txt" ? dir.file("notes.txt") : file;
        EXPECT_EQ(awaitFile(record), dir.path().string() + "|" + target + "\n");
    }
    EXPECT_FALSE(launcher.open("missing.txt", {}, dir.path().string()));
    EXPECT_FALSE(launcher.open("", {}, dir.path().string()));
}

TEST(LinuxServicesTest, SharesMountThroughGioAnsweringItsQuestions) {
    TempDir dir;
    const std::string answers = dir.file("answers");
    const std::string gio = script(dir, "gio",
                                   "echo \"$*\" >> " + answers +
                                       "\nprintf 'Authentication Required\\nUser [me]: '; read u\n"
                                       "printf 'Domain [WORKGROUP]: '; read d\n"
                                       "printf 'Password: '; read p\n"
                                       "echo \"$u|$d|$p\" >> " +
                                       answers +
                                       "\n[ \"$p\" = good ] && exit 0\n"
                                       "echo \"gio: $2: Permission denied\" >&2; exit 2\n");
    GvfsShares shares(dir.file("gvfs"), gio);
    const NetworkShare docs{"srv", "docs"};
    EXPECT_TRUE(shares.mount(docs, {"CORP\\ann", "good"}));
    EXPECT_EQ(shares.mount(docs, {"ann", "bad"}).error(), "Permission denied");
    EXPECT_FALSE(shares.mount(docs, {}));
    EXPECT_EQ(awaitFile(answers),
              "mount smb://ann@srv/docs\nann|CORP|good\n"
              "mount smb://ann@srv/docs\nann||bad\n"
              "mount smb://srv/docs\n||\n");

    std::filesystem::create_directories(
        dir.file("gvfs/smb-share:server=srv,share=my%20docs,user=ann"));
    std::filesystem::create_directories(dir.file("gvfs/sftp:host=srv,user=ann"));
    const auto mounted = shares.mounted({"SRV", "My Docs"});
    ASSERT_TRUE(mounted);
    EXPECT_EQ(mounted->folder, dir.file("gvfs/smb-share:server=srv,share=my%20docs,user=ann"));
    EXPECT_EQ(mounted->user, "ann");
    EXPECT_FALSE(shares.mounted(docs));
}

}  // namespace
}  // namespace ks::test
