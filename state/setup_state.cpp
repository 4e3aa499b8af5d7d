#include "state/setup_state.h"

ErrorLatch errorLatch;
void* moduleInstance;
LaunchMode launchMode = LaunchMode::Library;
char bootstrapPath[kPathBufferSize];
char tempSetupPath[kPathBufferSize];
const char* commandTail = "";

void ReportError(const char* text) {
    int i = 0;
    // A plain bounded copy: the only text that can outgrow the latch is
    // "Cannot open %s." with a very long path, and cutting it keeps the start,
    // which is what a user reads first.
    if (text) {
        for (; i < kPathBufferSize - 1 && text[i]; ++i) {
            errorLatch.text[i] = text[i];
        }
    }
    errorLatch.text[i] = 0;
    errorLatch.flag = 1;
}

void ResetErrorLatch() {
    errorLatch.flag = 0;
    errorLatch.text[0] = 0;
}
