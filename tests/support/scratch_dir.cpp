#include "support/scratch_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <system_error>

namespace drovine_test {

ScratchDir::ScratchDir() {
  std::string name = "drovine-test-XXXXXX";
  if (const auto* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
    name = std::string("drovine-") + info->test_suite_name() + "-" + info->name() + "-XXXXXX";
  }
  std::string pattern = (std::filesystem::temp_directory_path() / name).string();
  if (mkdtemp(pattern.data()) == nullptr) {
    ADD_FAILURE() << "cannot make a scratch directory like " << pattern;
  }
  path_ = pattern;
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::Write(const std::string& name, const std::string& text) const {
  const std::string file = File(name);
  std::ofstream(file, std::ios::binary) << text;
  return file;
}

}  // namespace drovine_test
