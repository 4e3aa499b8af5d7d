// The hand-over to the extracted secondary setup at tempSetupPath: started as
// a program of its own, or loaded as a library whose `Setup` entry is called.
#ifndef KIV_BOOTSTRAP_LAUNCH_H
#define KIV_BOOTSTRAP_LAUNCH_H

// The calling convention of the library entry: stdcall on 32-bit Windows (the
// callee pops its two arguments). Other targets have only one convention, so
// the same code builds for the host tests.
#if defined(_WIN32) && defined(__i386__)
#define KIV_STDCALL __attribute__((stdcall))
#else
#define KIV_STDCALL
#endif

// `Setup(bootstrapPath, commandTail)`, exported undecorated by a secondary
// library. Its result is ignored.
typedef int(KIV_STDCALL* SetupEntry)(const char* bootstrapPath, const char* commandTail);

enum {
    kShowNormal = 5,           // SW_SHOW, whatever state the bootstrapper got
    kFirstStartedResult = 32,  // start results and library handles below fail
    kPumpPauseMs = 100,
};

// Starts tempSetupPath as a program with the line "<temp> <bootstrap> <tail>"
// (see BuildSecondaryCommandLine), shown normally. When the start fails it
// reports "Cannot load secondary setup. (2)", removes the temporary file and
// gives 0; the window stays shown. Otherwise it hides the window, waits while
// the start result names a loaded module (serving the thread's messages), and
// gives 1, leaving the file to the running program.
int LaunchProgram();

// Loads tempSetupPath as a library (see LoadSecondaryLibrary), lets it load
// libraries from its own folder, hides the window, calls its `Setup` with
// bootstrapPath and commandTail, releases the library and gives 1. Gives 0
// after reporting "Cannot load secondary setup." (not loaded) or "Setup.exe
// is damaged. (2)" (no `Setup`; the library is released). Never removes the
// file: the entry sequence does, on every outcome.
int LaunchLibrary();

// Dispatches every message waiting in the thread's queue, then sleeps once
// for 100 milliseconds. A quit message is dispatched like any other.
void PumpMessages();

#endif
