// Test fixture: a string storage with its error slot and low memory, and literal strings.
#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "console/runtime_string.hpp"

namespace aqsol {

class RuntimeFixture : public testing::Test {
 protected:
  ErrorSlot errors;
  LowMemory low_memory;
  StringStorage st{errors, low_memory};

  // A temporary read-only string over text, which must outlive the statement.
  RuntimeString* literal(std::string_view text) {
    return st.string_from_literal(text.data(), static_cast<uint32_t>(text.size()));
  }
};

}  // namespace aqsol
