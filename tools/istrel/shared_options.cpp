#include "istrel/shared_options.h"

#include <zoncore/threads.h>

#include <cmath>
#include <cstdlib>
#include <thread>

namespace istrel::tools {

bool parseNumber(const std::string& text, double low, double high, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && value >= low && value <= high;
}

bool parseWholeNumber(const std::string& text, long low, long high, long& value) {
  double number = 0;
  if (!parseNumber(text, static_cast<double>(low), static_cast<double>(high), number)) return false;
  value = static_cast<long>(number);
  return number == std::floor(number);
}

std::string knownKernelLevels() {
#if defined(__x86_64__) || defined(_M_X64)
  return "plain, sse4.1 or avx2";
#elif defined(__aarch64__) || defined(_M_ARM64)
  return "plain or neon";
#else
  return "plain";
#endif
}

namespace {

void applyCpu(const SharedOptions& o, std::ostream& err) {
  if (!o.cpu) return;
  H264::limitKernelLevel(*o.cpu);
  const H264::KernelLevel level = H264::defaultKernelLevel();
  if (level != *o.cpu) {
    err << "istrel: note: this processor lacks " << H264::kernelLevelName(*o.cpu) << "; using "
        << H264::kernelLevelName(level) << "\n";
  }
}

void applyThreads(const SharedOptions& o, std::ostream& err) {
  if (o.threads <= 0) return;
  const unsigned processors = std::thread::hardware_concurrency();
  if (processors > 0 && static_cast<unsigned>(o.threads) > processors) {
    err << "istrel: note: --threads " << o.threads << " runs " << o.threads << " worker threads on "
        << processors << " processors\n";
  }
  zoncore::threads::SetWorkerCount(o.threads);
}

}  // namespace

void applySharedOptions(const SharedOptions& o, std::ostream& err) {
  applyThreads(o, err);
  applyCpu(o, err);
}

}  // namespace istrel::tools
