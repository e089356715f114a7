#include "frame/version.h"

#include <array>

// The numbers come from the build (frame/CMakeLists.txt), never from a
// literal here.
#if !defined(TRELIX_VERSION_MAJOR) || !defined(TRELIX_VERSION_MINOR) || !defined(TRELIX_VERSION_REVISION)
#error "the build must define TRELIX_VERSION_MAJOR, TRELIX_VERSION_MINOR and TRELIX_VERSION_REVISION"
#endif

namespace trelix {
namespace {

constexpr int kMajor = TRELIX_VERSION_MAJOR;
constexpr int kMinor = TRELIX_VERSION_MINOR;
constexpr int kRevision = TRELIX_VERSION_REVISION;

static_assert(kMajor >= 0 && kMajor <= 9999 && kMinor >= 0 && kMinor <= 99 && kRevision >= 0 && kRevision <= 9999,
              "the file version text has room for 4.2.4 digits");

// "MMMM.mm.rrrr", zero-padded as the version resource writes it.
constexpr std::array<char, 13> MakeFileVersionText() {
  std::array<char, 13> text{};
  auto put = [&text](size_t at, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
      text[at + static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, kMajor, 4);
  text[4] = '.';
  put(5, kMinor, 2);
  text[7] = '.';
  put(8, kRevision, 4);
  text[12] = '\0';
  return text;
}

}  // namespace

// Kept in its own section (and kept at link time) so that the version can
// be read from the library file: readelf -p .trelix_version trelix_eb.so
[[gnu::used, gnu::section(".trelix_version")]] constexpr std::array<char, 13> kFileVersionText =
    MakeFileVersionText();

std::string ComponentVersion() {
  return std::to_string(kMajor) + " " + std::to_string(kMinor) + " " + std::to_string(kRevision);
}

std::string_view FileVersionText() { return std::string_view(kFileVersionText.data(), kFileVersionText.size() - 1); }

}  // namespace trelix
