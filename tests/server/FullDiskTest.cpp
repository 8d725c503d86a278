// A write the disk refuses is answered as an error, never as a success, and leaves nothing
// half made: like, login and logout on a data folder whose file system is full.
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "ServerTestUtil.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

const std::string kLogin =
    "/login/cellphone?phone=13800000001&md5_password=98a6619f9bc9cdd67e27e884d758da4b&timestamp=1";

std::string CodeOf(const std::optional<ServerProcess::Reply>& reply) {
  if (!reply) return "no answer";
  std::size_t at = reply->body.find("\"code\":");
  if (at == std::string::npos) return reply->body;
  at += 7;
  return reply->body.substr(at, reply->body.find_first_not_of("0123456789-", at) - at);
}

// A small file system of its own, unmounted at the end.
class Tmpfs {
 public:
  Tmpfs() {
    if (mount("tmpfs", dir_.path().c_str(), "tmpfs", 0, "size=8m,mode=0700") == 0)
      mounted_ = true;
    else
      why_ = std::strerror(errno);
  }
  ~Tmpfs() {
    if (mounted_) umount2(dir_.path().c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }
  const fs::path& path() const { return dir_.path(); }

  // Writes a filler file until the file system has no room left.
  void Fill() {
    std::FILE* f = std::fopen((dir_.path() / "filler").c_str(), "wb");
    ASSERT_TRUE(f);
    std::setvbuf(f, nullptr, _IONBF, 0);
    const std::string block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
    }
    std::fclose(f);
  }
  void Free() { fs::remove(dir_.path() / "filler"); }

 private:
  TempDir dir_;
  bool mounted_ = false;
  std::string why_;
};

TEST(ServerFullDisk, AWriteThatFailsIsAnsweredAsAnErrorAndLeavesNothingBehind) {
  Tmpfs disk;
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a tmpfs (the test needs root): " << disk.why();
  ServerProcess server(ServerProcess::Options{disk.path() / "data", {}, {}});
  ASSERT_TRUE(server.start()) << server.errors();
  auto first = server.post(kLogin);
  ASSERT_EQ(CodeOf(first), "200");
  const std::string cookie = Between(first->body, "\"cookie\":\"", "\"");
  const std::string encoded = UrlEncode(cookie, 1);
  const std::string liked = "/playlist/detail?id=" + std::to_string(7000000000ull + 1001);
  disk.Fill();

  struct Case {
    const char* what;
    std::string target;
  } cases[] = {
      {"like", "/like?id=1000003&cookie=" + encoded + "&timestamp=1"},
      {"login", kLogin},
      {"logout", "/logout?cookie=" + encoded},
  };
  for (const Case& c : cases) {
    auto reply = server.post(c.target);
    ASSERT_TRUE(reply) << c.what;
    EXPECT_NE(reply->status, 200) << c.what << ": " << reply->body;
    EXPECT_EQ(CodeOf(reply), std::to_string(reply->status)) << c.what << ": " << reply->body;
    EXPECT_EQ(reply->body.find("\"cookie\""), std::string::npos) << c.what;
  }
  disk.Free();

  // Nothing of it stayed: no like, the session the failed logout answered for still works,
  // and the account holds only the first login's session.
  auto list = server.get(liked);
  ASSERT_EQ(CodeOf(list), "200");
  EXPECT_EQ(list->body.find("1000003"), std::string::npos) << list->body;
  EXPECT_EQ(CodeOf(server.get("/personal_fm?cookie=" + encoded + "&timestamp=1")), "200");
  ASSERT_EQ(server.stop(), 0);
  EXPECT_EQ(CountStored(disk.path() / "data", "SELECT count(*) FROM sessions"), 1);
}

}  // namespace
}  // namespace lumora::test
