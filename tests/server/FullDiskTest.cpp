// A write the disk refuses is answered as an error, never as a success, and leaves nothing
// half made: like, login and logout on a data folder whose file system is full.
#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "ServerTestUtil.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace lumora::test {
namespace {

const std::string kLogin =
    "/login/cellphone?phone=13800000001&md5_password=98a6619f9bc9cdd67e27e884d758da4b&timestamp=1";

std::string CodeOfReply(const std::optional<ServerProcess::Reply>& reply) {
  return reply ? CodeOf(reply->body) : "no answer";
}

TEST(ServerFullDisk, AWriteThatFailsIsAnsweredAsAnErrorAndLeavesNothingBehind) {
  TempDir disk;
  if (mount("tmpfs", disk.path().c_str(), "tmpfs", 0, "size=8m,mode=0700") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs (the test needs root): " << std::strerror(errno);
  struct Unmount {
    const TempDir& dir;
    ~Unmount() { umount2(dir.path().c_str(), MNT_DETACH); }
  } unmount{disk};
  ServerProcess server(ServerProcess::Options{disk.path() / "data", {}, {}});
  ASSERT_TRUE(server.start()) << server.errors();
  auto first = server.post(kLogin);
  ASSERT_EQ(CodeOfReply(first), "200");
  const std::string cookie = Between(first->body, "\"cookie\":\"", "\"");
  const std::string encoded = UrlEncode(cookie, 1);
  // Filled to the last block.
  {
    std::ofstream filler(disk.path() / "filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())).flush()) {
    }
  }

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
    EXPECT_EQ(CodeOfReply(reply), std::to_string(reply->status)) << c.what << ": " << reply->body;
    EXPECT_EQ(reply->body.find("\"cookie\""), std::string::npos) << c.what;
  }
  fs::remove(disk.path() / "filler");

  // Nothing of it stayed: no like, the session the failed logout answered for still works,
  // and the account holds only the first login's session.
  auto list = server.get("/playlist/detail?id=" + std::to_string(7000000000ull + 1001));
  ASSERT_EQ(CodeOfReply(list), "200");
  EXPECT_EQ(list->body.find("1000003"), std::string::npos) << list->body;
  EXPECT_EQ(CodeOfReply(server.get("/personal_fm?cookie=" + encoded + "&timestamp=1")), "200");
  ASSERT_EQ(server.stop(), 0);
  EXPECT_EQ(CountStored(disk.path() / "data", "SELECT count(*) FROM sessions"), 1);
}

}  // namespace
}  // namespace lumora::test
