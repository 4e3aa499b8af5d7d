#include "tools/kivpack/progress_meter.h"

#include <cstdio>

#include "tools/kivpack/cli.h"

namespace kivpack {

ProgressMeter::ProgressMeter(std::string label)
    : label_(std::move(label)),
      wanted_(ProgressWanted()),
      start_(std::chrono::steady_clock::now()) {}

ProgressMeter::~ProgressMeter() {
    Finish();
}

void ProgressMeter::Update(uint64_t done, uint64_t total) {
    if (!wanted_ || total == 0) {
        return;
    }
    if (!drawn_ && std::chrono::steady_clock::now() - start_ < std::chrono::milliseconds(500)) {
        return;
    }
    int percent = int(done * 100 / total);
    if (percent == lastPercent_) {
        return;
    }
    lastPercent_ = percent;
    drawn_ = true;
    std::fprintf(stderr, "\rkivpack: %s %3d%%", label_.c_str(), percent);
    std::fflush(stderr);
}

void ProgressMeter::Finish() {
    if (drawn_) {
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        drawn_ = false;
    }
}

}  // namespace kivpack
