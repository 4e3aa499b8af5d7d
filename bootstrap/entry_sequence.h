// The bootstrapper's run from its entry to its exit.
#ifndef KIV_BOOTSTRAP_ENTRY_SEQUENCE_H
#define KIV_BOOTSTRAP_ENTRY_SEQUENCE_H

enum {
    kErrorModeNoDialogs = 0x8001,  // SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX
    kErrorBoxStyle = 0x10,         // MB_OK | MB_ICONERROR
};

// Runs the whole bootstrapper: keeps libraries from being loaded out of the
// folder it was started from (RestrictLibrarySearch), shows the progress window, extracts the
// secondary setup, hands over to it according to launchMode, removes the
// temporary file in library mode, destroys the window, shows the one error
// box captioned "Setup" if anything failed, and releases the window's brush
// and font. `instance` is the program's own module (an HINSTANCE); `tail` is
// the command tail as SkipProgramName gives it, kept as commandTail and
// passed on untouched. `previous` and `showCommand` are not used: the window
// and a secondary program are always shown normally. Gives 0, the exit code,
// on every path; the box is the only outward sign of a failure.
int RunBootstrap(void* instance, void* previous, const char* tail, int showCommand);

#endif
