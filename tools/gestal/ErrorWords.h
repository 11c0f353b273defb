#pragma once

#include <cstdint>
#include <string>

// The error types of the library in words, as docs/errors.md explains them.
namespace GestalTool {

inline std::string errorWords(int32_t error) {
  switch (error) {
    case 0:
      return "accepted";
    case -1:
      return "no match";
    case -201:
      return "too short";
    case -202:
      return "beyond limits";
    case -203:
      return "bad posture";
    case -204:
      return "too simple";
    case -205:
      return "too little motion";
    case -207:
      return "matches none of the other recent performances";
    case -208:
      return "enrolment given up";
    case -209:
      return "differs from the first performance";
    case -301:
      return "locked after too many failed identifications";
    case -500:
      return "engine failure";
    default:
      return "unknown error type";
  }
}

}  // namespace GestalTool
