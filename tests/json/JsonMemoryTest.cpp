// One very large answer must not leave its buffers behind once a normal one follows.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstddef>
#include <string>

#include "json/JsonDocument.h"

#if defined(__SANITIZE_ADDRESS__)
#define LUMORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMORA_ASAN 1
#endif
#endif
#ifdef LUMORA_ASAN
// From the sanitizer's allocator interface (g++ ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace lumora::test {
namespace {

// Heap in use as the allocator counts it (the sanitizer's allocator replaces malloc's).
std::size_t HeapInUse() {
#ifdef LUMORA_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // large blocks are mapped on their own
#endif
}

// A playlist answer of about `bytes` bytes.
std::string Answer(std::size_t bytes) {
  std::string json = R"({"code":200,"songs":[)";
  for (int i = 0; json.size() < bytes; ++i) {
    if (i) json += ',';
    json += R"({"id":)" + std::to_string(1900000000 + i) + R"(,"name":"song )" + std::to_string(i) +
            R"(","ar":[{"id":7,"name":"artist"}],"al":{"picUrl":"http://h/)" + std::to_string(i) +
            R"(.jpg"},"dt":215000})";
  }
  return json + "]}";
}

constexpr std::size_t kMiB = std::size_t{1} << 20;

class JsonMemory : public ::testing::TestWithParam<bool> {};

TEST_P(JsonMemory, HeapReturnsAfterALargeAnswer) {
  const bool edited = GetParam();
  const std::string normal = Answer(200 * 1024);
  const std::string large = Answer(50 * kMiB);
  JsonDocument doc;
  auto answer = [&](const std::string& text) {
    ASSERT_TRUE(doc.Parse(text));
    if (edited) doc.SetValue("seen", "1");
    EXPECT_EQ(doc.GetText("songs[1].ar[0].name"), "artist");
  };
  answer(normal);
  answer(normal);
  const std::size_t before = HeapInUse();
  answer(large);
  EXPECT_GT(HeapInUse(), before + 50 * kMiB);  // the measure sees the large answer at all
  answer(normal);
  EXPECT_LT(HeapInUse(), before + 4 * kMiB);
}

INSTANTIATE_TEST_SUITE_P(Forms, JsonMemory, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Edited" : "Parsed"; });

}  // namespace
}  // namespace lumora::test
