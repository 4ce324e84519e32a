#include "base/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

namespace varnoklis {
namespace {

namespace fs = std::filesystem;

// A whole file comes back byte for byte, also past one read's buffer; a missing file and a folder
// give the errno that callers turn into their messages.
TEST(Files, ReadWholeFileAndTemporaries) {
  fs::path dir = fs::temp_directory_path() / ("varnoklis-files-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string name = (dir / "f.XXXXXX").string();
  FileDescriptor out(create_temporary(name));
  ASSERT_TRUE(out.ok());
  EXPECT_EQ(name.rfind((dir / "f.").string(), 0), 0u);
  EXPECT_EQ(fs::status(name).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  std::string content(200000, 'a');
  content[123456] = '\0';
  ASSERT_TRUE(write_all(out.get(), content.data(), content.size()) && out.close());
  std::string bytes = "kept";
  EXPECT_EQ(read_whole_file(name, bytes), 0);
  EXPECT_EQ(bytes, "kept" + content);
  EXPECT_EQ(read_whole_file((dir / "missing").string(), bytes), ENOENT);
  EXPECT_EQ(read_whole_file(dir.string(), bytes), EISDIR);
  EXPECT_TRUE(sync_folder_of(name));
  std::string bad = (dir / "no" / "f.XXXXXX").string();
  EXPECT_FALSE(FileDescriptor(create_temporary(bad)).ok());
  EXPECT_TRUE(bad.empty());
  fs::remove_all(dir);
}

}  // namespace
}  // namespace varnoklis
