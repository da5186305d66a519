// The decoder reports malformed data by throwing an int code (base/errors.h);
// the tests that check which code a call throws.
#pragma once

namespace istrel::test {

// The int `call` throws, or 0 when it returns.
template <typename Call>
int thrownCode(Call&& call) {
  try {
    call();
  } catch (int code) {
    return code;
  }
  return 0;
}

}  // namespace istrel::test
