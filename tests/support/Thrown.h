#pragma once

#include <exception>
#include <string>

namespace GestalTest {

// The message of what a call throws (an exception or a bare text), or "" when it throws nothing.
template <typename Call>
std::string thrownText(Call&& call) {
  try {
    call();
  } catch (const std::exception& e) {
    return e.what();
  } catch (const char* text) {
    return text;
  }
  return "";
}

}  // namespace GestalTest
