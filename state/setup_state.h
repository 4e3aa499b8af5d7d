// Process-wide state shared by the payload code and the entry sequence.
//
// The bootstrapper is one thread running one straight sequence, so its shared
// state is a handful of plain globals. They live here, below both container/
// and bootstrap/, so that the payload code can report failures and record the
// launch mode without depending on the entry sequence that reads them.
#ifndef KIV_STATE_SETUP_STATE_H
#define KIV_STATE_SETUP_STATE_H

// Size of every path buffer: at most 255 characters and the terminating zero.
enum { kPathBufferSize = 256 };

// Which image the extraction expanded, and therefore how it is handed over.
enum class LaunchMode { Program, Library };

// The one failure report of a run. `flag` is 0 or 1; `text` always holds a
// terminated string of at most 255 characters.
struct ErrorLatch {
    int flag;
    char text[kPathBufferSize];
};

extern ErrorLatch errorLatch;

// Handle of the bootstrapper's own module (an HINSTANCE on Windows), stored
// first by the entry sequence. Kept opaque so this header needs no Windows
// header.
extern void* moduleInstance;

extern LaunchMode launchMode;

// The bootstrapper's own file and the extracted secondary setup, each in the
// short form where the system gives one. Filled by the extraction.
extern char bootstrapPath[kPathBufferSize];
extern char tempSetupPath[kPathBufferSize];

// The bootstrapper's command line after its program name; never copied or
// changed, only passed on. Points into the process's own command line.
extern const char* commandTail;

// Records a failure: sets the latch flag and replaces the latch text by
// `text`. A text longer than 255 characters is cut at 255 so that nothing is
// written past the latch; the last report of a run wins.
void ReportError(const char* text);

// Clears the latch: flag 0, empty text. Only the entry sequence calls this.
void ResetErrorLatch();

#endif
