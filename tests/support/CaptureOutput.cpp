#include "support/CaptureOutput.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <stdexcept>

namespace GestalTest {

namespace {
void flushAll() {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
}
}  // namespace

CaptureOutput::CaptureOutput(int fd) : fd_(fd) {
  flushAll();
  char name[] = "/tmp/gestal-capture-XXXXXX";
  file_ = mkstemp(name);
  if (file_ < 0) throw std::runtime_error("mkstemp failed");
  unlink(name);
  saved_ = dup(fd_);
  dup2(file_, fd_);
}

CaptureOutput::~CaptureOutput() {
  take();
}

std::string CaptureOutput::take() {
  if (taken_) return text_;
  taken_ = true;
  flushAll();
  dup2(saved_, fd_);
  close(saved_);
  lseek(file_, 0, SEEK_SET);
  char buffer[4096];
  ssize_t n;
  while ((n = read(file_, buffer, sizeof buffer)) > 0) text_.append(buffer, static_cast<size_t>(n));
  close(file_);
  return text_;
}

}  // namespace GestalTest
