// A percentage on the terminal for work that takes more than a moment.
#ifndef KIV_TOOLS_KIVPACK_PROGRESS_METER_H
#define KIV_TOOLS_KIVPACK_PROGRESS_METER_H

#include <chrono>
#include <cstdint>
#include <string>

namespace kivpack {

// Draws "kivpack: <label> NN%" on stderr, only when stderr is a terminal and
// only once the work has run for half a second, so that quick runs and
// redirected output stay clean. The line is cleared by Finish() or the
// destructor.
class ProgressMeter {
   public:
    explicit ProgressMeter(std::string label);
    ~ProgressMeter();
    void Update(uint64_t done, uint64_t total);
    void Finish();

   private:
    std::string label_;
    bool wanted_;
    bool drawn_ = false;
    int lastPercent_ = -1;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace kivpack

#endif
