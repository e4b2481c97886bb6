#include "TempDir.h"

#include <cstdlib>
#include <stdexcept>

namespace ks::test {

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "keystrider-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace ks::test
