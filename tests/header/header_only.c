/* Compiled alone, with strict flags, as C99 and as C++: the public header must need nothing else. */
#include "gestal.h"

int gestal_header_only_check(void);
int gestal_header_only_check(void) {
  GestureVerifyResult result = {-1, 0.0f, 0.0f};
  GestalStatusBlock status = {GESTAL_ERROR_NONE, {0.0f}, 0};
  GestalLogHandler handler = 0;
  (void)handler;
  return result.bestMatch + status.error + GESTAL_LOG_ERROR - GESTAL_VERSION_MAJOR;
}
